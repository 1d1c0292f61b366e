// The module's load-time entry on Windows. It only records the instance
// handle for the editor's backend: the loader lock is held here, so nothing
// else (GDI+, OLE, windows) may be started from it.
#include "PlatformWin32.h"

// Threads: the loader, with the loader lock held.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        VSTGUI::moduleInstance = instance;
        // No per-thread notifications: nothing here keeps per-thread state.
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
