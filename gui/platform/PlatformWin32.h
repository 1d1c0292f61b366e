// What the Win32 backend shares with the module's load-time entry.
#pragma once

#include <windows.h>

namespace VSTGUI {

// The instance handle of the module (DLL) that carries the editor: its "PNG"
// resources are the editor's images, and its window class is registered
// under it. Set once by DllMain when the module is loaded.
extern HINSTANCE moduleInstance;

}  // namespace VSTGUI
