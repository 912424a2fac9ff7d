#include "loop/runtimemainloop.h"

#include <vector>

#include "objects/ExceptionClasses.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/application.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "strings/string.h"
#include "ui/MessageDialog.h"
#include "ui/win32windows.h"

namespace {

HWND gTimerWindow = nullptr;
MainLoopWindowHooks gHooks = {};
POINT gLastCursor = {INT32_MIN, INT32_MIN};
int32_t gLastBackgroundTick = -1;
int32_t gWaitCursorNesting = 0;
bool gEscapeDown = false;

struct DeferredUpdate {
    ObjectHeader* object;
    DeferredCallback callback;
};
std::vector<DeferredUpdate>& DeferredUpdates() {
    static auto* list = new std::vector<DeferredUpdate>;
    return *list;
}

std::vector<PeriodicTask*>& PeriodicTasks() {
    static auto* list = new std::vector<PeriodicTask*>;
    return *list;
}

struct TimerRecord {
    TimerCallback callback;
    int32_t id;
    int32_t milliseconds;
    UINT_PTR handle;
    bool disabled;
};
std::vector<TimerRecord>& Timers() {
    static auto* list = new std::vector<TimerRecord>;
    return *list;
}
int32_t gNextTimerId = 0;

// The timer path fires the tasks of its timer without touching their last firing.
void FireTasksOfTimer(int32_t id) {
    std::vector<PeriodicTask*>& tasks = PeriodicTasks();
    for (size_t i = tasks.size(); i-- > 0;)
        if (i < tasks.size() && tasks[i]->timerId == id) tasks[i]->Fire();
}

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        DispatchRuntimeTimer(int32_t(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void PollMouse() {
    if (!gHooks.pollMouse) return;
    POINT cursor;
    if (!GetCursorPos(&cursor)) return;
    bool tracking = gHooks.tracking && gHooks.tracking();
    if (tracking || cursor.x != gLastCursor.x || cursor.y != gLastCursor.y) gHooks.pollMouse(cursor);
    gLastCursor = cursor;
}

void RunDeferredUpdates() {
    std::vector<DeferredUpdate>& list = DeferredUpdates();
    // Callbacks may add to the list: take it whole first.
    std::vector<DeferredUpdate> pending;
    pending.swap(list);
    for (size_t i = pending.size(); i-- > 0;) {
        if (pending[i].callback) pending[i].callback(pending[i].object);
        RuntimeUnlockObject(pending[i].object);
    }
}

bool IsEndException(ObjectHeader* e) {
    ClassRecord* end = ClassOfDefinition(EndExceptionDefinition());
    return end && RuntimeObjectIsa(e, end);
}

void __cdecl IterationThunk(void*) { RunMainLoopIteration(); }

}  // namespace

PeriodicTask::~PeriodicTask() { UnregisterPeriodicTask(this); }

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

// ---- Protected call ---------------------------------------------------------------------

void RuntimeProtectedCall(LoopFunction fn) {
    if (!fn) {
        RUNTIME_FIXED_REPORT(kReportProtectedCallNil);
        return;
    }
    ObjectHandle exception = ObjectHandle::Adopt(ProtectedCall(fn, nullptr));
    if (exception) HandleLoopException(exception.Get());
}

void HandleLoopException(ObjectHeader* exception) {
    if (!exception) {
        RUNTIME_FIXED_REPORT(kReportNilLoopException);
        return;
    }
    bool end = IsEndException(exception);
    if (!end && RaiseApplicationUnhandledException(exception)) return;
    if (gQuit) return;
    if (end) {
        CloseAllRuntimeWindows();
    } else {
        StringHandle className = StringHandle::Borrow(exception->classPtr ? exception->classPtr->name : nullptr);
        StringHandle text("An exception of class ");
        text.Append(className);
        text.AppendC(" was not handled.\r\nThe application must shut down.");
        RuntimeShowMessage(text);
    }
    gQuit = true;
}

void RunProtectedIteration() { RuntimeProtectedCall(IterationThunk); }

// ---- One iteration ------------------------------------------------------------------------

void SetMainLoopWindowHooks(const MainLoopWindowHooks& hooks) { gHooks = hooks; }

void AddDeferredUpdate(ObjectHeader* object, DeferredCallback callback) {
    RuntimeLockObject(object);
    DeferredUpdates().push_back(DeferredUpdate{object, callback});
}

void RunMainLoopIteration() {
    if (gHooks.prepareWindows) gHooks.prepareWindows();
    MSG msg;
    bool taken = false;
    if (gHooks.tracking && gHooks.tracking()) {
        PollMouse();
        taken = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != 0;
    } else {
        // With no window and nothing queued, the wait could never end.
        if (!gMDIMode && RuntimeWindowCount() == 0 && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            gQuit = true;
            return;
        }
        BOOL result = GetMessageA(&msg, nullptr, 0, 0);
        if (result == 0) {
            gQuit = true;
            return;
        }
        taken = result > 0;
        PollMouse();
    }
    if (taken) {
        bool consumed = gHooks.dispatchKey && gHooks.dispatchKey(&msg);
        if (!consumed && gMDIMode && gHooks.mdiClient) {
            HWND client = gHooks.mdiClient();
            consumed = client && TranslateMDISysAccel(client, &msg);
        }
        if (!consumed) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    RunDeferredUpdates();
    if (gHooks.focusedIdle) gHooks.focusedIdle();
    gEscapeDown = false;
    if (!gMDIMode && RuntimeWindowCount() == 0) gQuit = true;
    RunPeriodicPass();
}

// ---- Periodic tasks and timers --------------------------------------------------------------

void RegisterPeriodicTask(PeriodicTask* task, int32_t periodTicks) {
    if (!task) return;
    task->period = periodTicks < 0 ? 0 : periodTicks;
    task->lastFired = RuntimeTicks();
    PeriodicTasks().push_back(task);
    int64_t ms = int64_t(task->period) * 1000 / 60;
    task->timerId = CreateRuntimeTimer(FireTasksOfTimer, int32_t(ms < 1 ? 1 : ms));
}

void UnregisterPeriodicTask(PeriodicTask* task) {
    std::vector<PeriodicTask*>& tasks = PeriodicTasks();
    for (size_t i = 0; i < tasks.size(); ++i) {
        if (tasks[i] != task) continue;
        tasks.erase(tasks.begin() + long(i));
        std::vector<TimerRecord>& timers = Timers();
        for (size_t k = 0; k < timers.size(); ++k) {
            if (timers[k].id != task->timerId) continue;
            if (timers[k].handle && gTimerWindow) KillTimer(gTimerWindow, timers[k].handle);
            timers.erase(timers.begin() + long(k));
            break;
        }
        task->timerId = -1;
        return;
    }
}

int32_t PeriodicTaskCount() { return int32_t(PeriodicTasks().size()); }

void RunPeriodicPass() {
    int32_t now = RuntimeTicks();
    std::vector<PeriodicTask*>& tasks = PeriodicTasks();
    // A task may unregister itself or others while it fires: the index is
    // checked again after every call.
    for (size_t i = tasks.size(); i-- > 0;) {
        if (i >= tasks.size()) continue;
        PeriodicTask* task = tasks[i];
        if (now - task->lastFired >= task->period) {
            task->Fire();
            if (i < tasks.size() && tasks[i] == task) task->lastFired = RuntimeTicks();
        }
    }
}

int32_t CreateRuntimeTimer(TimerCallback callback, int32_t milliseconds) {
    int32_t id = ++gNextTimerId;
    UINT_PTR handle = gTimerWindow ? SetTimer(gTimerWindow, UINT_PTR(id), UINT(milliseconds), nullptr) : 0;
    Timers().push_back(TimerRecord{callback, id, milliseconds, handle, false});
    return id;
}

void SetRuntimeTimerDisabled(int32_t id, bool disabled) {
    for (TimerRecord& t : Timers())
        if (t.id == id) t.disabled = disabled;
}

void DispatchRuntimeTimer(int32_t id) {
    for (const TimerRecord& t : Timers()) {
        if (t.id != id) continue;
        if (!t.disabled && t.callback) t.callback(id);
        return;
    }
}

// ---- Background calls ---------------------------------------------------------------------------

bool UserCancelled() { return gEscapeDown; }
int32_t AutoWaitCursorNesting() { return gWaitCursorNesting; }

extern "C" void RuntimeBackgroundTask(void) {
    int32_t now = RuntimeTicks();
    if (now == gLastBackgroundTick) return;
    gLastBackgroundTick = now;
    RunPeriodicPass();
    gEscapeDown = (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
    gLastBackgroundTick = RuntimeTicks();
}

extern "C" int32_t getUserCancelled(void) { return gEscapeDown ? 1 : 0; }
extern "C" void DisableAutoWaitCursor(void) { ++gWaitCursorNesting; }
extern "C" void EnableAutoWaitCursor(void) { --gWaitCursorNesting; }
