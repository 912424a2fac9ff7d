// The process entry of the runtime executable.
#include <windows.h>

#include "loader/loaderX86.h"
#include "loop/runtimemainloop.h"
#include "startup/RuntimeMain.h"
#include "startup/ThemeLibrary.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RuntimeInitProcessState(instance);  // script, instance, common controls, locks
    RegisterTimerWindow(instance);
    LoadThemeLibrary();
    RuntimeInitialize();
    LoadAndRunModule();  // returns after the application quit, or when loading failed
    FreeThemeLibrary();
    return RuntimeProcessExitCode();
}
