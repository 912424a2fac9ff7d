// The main event loop: one iteration, the protected call that contains the
// exceptions of event handlers, periodic tasks and timers on the hidden
// timer window, background calls, ticks.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/abi.h"

// Registers WinTimerClass and creates its hidden 1 x 1 window.
void RegisterTimerWindow(HINSTANCE instance);
HWND TimerWindow();

// Sixtieths of a second: GetTickCount x 0.06, truncated.
int32_t RuntimeTicks();

// ---- The protected call --------------------------------------------------------------

using LoopFunction = void(__cdecl*)(void* argument);
// Calls fn(0) behind a landing block; an exception that lands is handled as
// below. A nil fn is an assertion report.
void RuntimeProtectedCall(LoopFunction fn);
// The loop's handling of an exception that reached it (also the unhandled
// hook): the application's UnhandledException event, else the message and
// the quit flag; an EndException closes every window without a message.
void HandleLoopException(ObjectHeader* exception);

// ---- One iteration ---------------------------------------------------------------------

void RunMainLoopIteration();
// One iteration through the protected call, as RuntimeRun and modal loops run it.
void RunProtectedIteration();

// What the window layer contributes to an iteration; every hook may be nil.
struct MainLoopWindowHooks {
    void (*prepareWindows)();            // pending moves and resizes, windows to show
    bool (*tracking)();                  // a pane follows the held mouse button
    void (*pollMouse)(POINT cursor);     // drag, or enter/exit/move tracking
    bool (*dispatchKey)(MSG* message);   // menu shortcuts and key events; true = consumed
    void (*focusedIdle)();               // the focused pane's idle work
    HWND (*mdiClient)();                 // the MDI client window, or nil
};
void SetMainLoopWindowHooks(const MainLoopWindowHooks& hooks);

// Objects whose deferred callback runs at the end of the iteration, the last
// added first. The list holds a reference to each object.
using DeferredCallback = void (*)(ObjectHeader* object);
void AddDeferredUpdate(ObjectHeader* object, DeferredCallback callback);

// ---- Periodic tasks and timers ----------------------------------------------------------

class PeriodicTask {
public:
    PeriodicTask() = default;
    virtual ~PeriodicTask();  // unregisters
    PeriodicTask(const PeriodicTask&) = delete;
    PeriodicTask& operator=(const PeriodicTask&) = delete;

    virtual void Fire() = 0;

    int32_t timerId = -1;
    int32_t lastFired = 0;
    int32_t period = 0;  // ticks
};
// Registers the task and gives it a Windows timer of period x 1000 / 60 ms.
void RegisterPeriodicTask(PeriodicTask* task, int32_t periodTicks);
void UnregisterPeriodicTask(PeriodicTask* task);
int32_t PeriodicTaskCount();
// Fires, last registered first, every task whose period has passed.
void RunPeriodicPass();

using TimerCallback = void (*)(int32_t id);
// Appends a timer record and sets a Windows timer on the hidden window; the id.
int32_t CreateRuntimeTimer(TimerCallback callback, int32_t milliseconds);
void SetRuntimeTimerDisabled(int32_t id, bool disabled);
// What WM_TIMER with that id does on the hidden window.
void DispatchRuntimeTimer(int32_t id);

// The Escape flag of the last background call.
bool UserCancelled();
// Nesting of DisableAutoWaitCursor; the loop shows no wait cursor either way.
int32_t AutoWaitCursorNesting();
