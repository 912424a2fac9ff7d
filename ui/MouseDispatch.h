// Mouse input of runtime windows: hit testing from the last pane, the
// tracking pane that follows a held button, enter/exit/move by polling,
// the wheel and the cursor.
#pragma once

#include <windows.h>

#include <cstdint>

struct Pane;
struct ViewWindow;

// A button went down at a point of the window's client area (panes forward
// theirs converted); modifiers as the event modifiers take them.
void WindowMouseDown(ViewWindow* view, POINT point, bool right, bool doubleClick, int32_t modifiers);
// A button came up anywhere: the tracking pane gets its MouseUp.
void WindowMouseUp(POINT screenPoint);
// The main loop's hooks: whether a pane tracks the button, and the poll.
bool MouseTracking();
void PollMouse(POINT cursor);
// WM_MOUSEWHEEL on the window; true when a pane took the scroll.
bool WindowMouseWheel(ViewWindow* view, WPARAM wParam, LPARAM lParam);
// WM_SETCURSOR in the client area; true when a cursor other than the arrow was set.
bool WindowSetCursor(ViewWindow* view);
// The modifier bits of a mouse message.
int32_t MouseMessageModifiers(WPARAM wParam);
// A pane or window is going: it neither tracks nor stays entered.
void ForgetPaneInput(Pane* pane);
void ForgetWindowInput(ViewWindow* view);
