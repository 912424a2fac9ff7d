// The Window class: window objects, their native windows on TWWindow, and
// the road from creation through opening and showing to closing. The entry
// points module code calls are declared in orvane/exports.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;
struct ViewWindow;

ObjectDefinition* WindowDefinition();

// Events of Window in table order: the index of each in a class's event table.
enum WindowEvent : int32_t {
    kWindowLayout, kWindowCreateControls, kWindowSetupBindings, kWindowOpen, kWindowClose, kWindowCancelClose,
    kWindowKeyDown, kWindowMouseMove, kWindowMouseEnter, kWindowMouseExit, kWindowPaint, kWindowMouseDown,
    kWindowMouseDrag, kWindowMouseUp, kWindowEnableMenuItems, kWindowResized, kWindowResizing, kWindowMoved,
    kWindowDropObject, kWindowActivate, kWindowDeactivate,
    kWindowEventCount
};

// The window procedure of TWWindow.
LRESULT CALLBACK ViewWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

// What the main loop does for the windows at the start of an iteration:
// windows whose shown flag is set and that are not visible are shown.
void PrepareRuntimeWindows();

// The window list as the rest of the runtime sees it.
int RuntimeViewWindowCount();
void CloseEveryRuntimeWindow();
bool AnyRuntimeWindowRefusesClose();

// The front window: the newest runtime window that is visible, or nil.
ObjectHeader* FrontWindowObject();

// The modal run drives the main loop one protected iteration at a time;
// start-up hands in how.
using LoopIteration = void (*)();
void SetModalLoopIteration(LoopIteration iteration);

// A window in use: its destruction waits for the last unlock, which
// finishes a close begun meanwhile.
void LockViewWindow(ViewWindow* view);
void UnlockViewWindow(ViewWindow* view);

// Raising the window's events from the control layer: plain ones, and the
// mouse events with window coordinates (true when a Boolean one returned true).
void RaiseWindowEvent(ObjectHeader* window, WindowEvent event);
bool RaiseWindowPointEvent(ObjectHeader* window, WindowEvent event, int32_t x, int32_t y);

// Closes the window as Close, the close box and the end of the application
// do; false when CancelClose refused.
bool CloseRuntimeWindow(ObjectHeader* window);
