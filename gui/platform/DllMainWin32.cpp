// The module's load-time entry on Windows. It only records the instance
// handle for the editor's backend: the loader lock is held here, so nothing
// else (GDI+, OLE, windows) may be started from it.
#include "PlatformWin32.h"

// Threads: the loader, with the loader lock held.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    // Thread notifications stay on: the static C++ runtime's thread-local
    // storage relies on them.
    if (reason == DLL_PROCESS_ATTACH) VSTGUI::moduleInstance = instance;
    return TRUE;
}
