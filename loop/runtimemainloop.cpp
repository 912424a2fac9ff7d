#include "loop/runtimemainloop.h"

#include "startup/RuntimeMain.h"
#include "ui/win32windows.h"

namespace {
HWND gTimerWindow = nullptr;

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Timer records and periodic tasks are dispatched from WM_TIMER here once
    // they exist.
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

void RegisterTimerWindow(HINSTANCE instance) {
    if (gTimerWindow) return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TimerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "WinTimerClass";
    RegisterClassA(&wc);
    gTimerWindow = CreateWindowExA(0, "WinTimerClass", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                   instance, nullptr);
}

HWND TimerWindow() { return gTimerWindow; }

int32_t RuntimeTicks() { return int32_t(double(GetTickCount()) * 0.06); }

void RunMainLoopIteration() {
    MSG msg;
    // Without a window nothing could ever arrive to end the wait.
    if (!gMDIMode && RuntimeWindowCount() == 0) {
        gQuit = true;
        return;
    }
    int result = GetMessageA(&msg, nullptr, 0, 0);
    if (result == 0) {
        gQuit = true;
        return;
    }
    if (result > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (!gMDIMode && RuntimeWindowCount() == 0) gQuit = true;
}
