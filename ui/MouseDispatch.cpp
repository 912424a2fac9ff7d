// Mouse dispatch: hit testing from the last pane with each event bracketed
// by the pane lock, the tracking pane with the mouse capture, MouseDrag on
// every loop iteration while it tracks, enter/exit/move by polling, the
// wheel, the cursor and the contextual-click flag.
#include "ui/MouseDispatch.h"

#include <algorithm>
#include <vector>

#include "objects/ObjectHandle.h"
#include "orvane/exports.h"
#include "startup/Win32Owners.h"
#include "ui/ControlEvents.h"
#include "ui/ControlObject.h"
#include "ui/Controls.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"
#include "ui/WindowControls.h"
#include "ui/window.h"

extern int32_t gEventModifiers;

namespace {

// The pane (or, with no pane, the window) that follows the held button.
struct Tracking {
    Pane* pane = nullptr;
    ViewWindow* view = nullptr;
    MouseCapture capture;
};
Tracking gTracking;
bool gContextualClick = false;
ViewWindow* gPointerWindow = nullptr;

bool Listed(ViewWindow* view, Pane* pane) {
    return std::find(view->panes.begin(), view->panes.end(), pane) != view->panes.end();
}

bool StillThere(ViewWindow* view, Pane* pane) {
    if (!pane->parent) return Listed(view, pane);
    return std::find(pane->parent->children.begin(), pane->parent->children.end(), pane) !=
           pane->parent->children.end();
}

void StartTracking(ViewWindow* view, Pane* pane) {
    gTracking.capture = MouseCapture(view->handle.Get());
    gTracking.view = view;
    gTracking.pane = pane;
}

// A pane's mouse down: its children first, then its control's MouseDown.
bool PaneMouseDown(ViewWindow* view, Pane* pane, POINT p) {
    std::vector<Pane*> children = pane->children;
    for (size_t i = children.size(); i-- > 0;) {
        Pane* child = children[i];
        if (!StillThere(view, child) || !PaneIsVisible(child) || !PaneContains(child, p)) continue;
        if (PaneMouseDown(view, child, p)) return true;
        if (view->closing) return true;
    }
    if (!pane->enabled || pane->closing || !pane->control || !pane->kind) return false;
    ObjectHeader* control = pane->control;
    int32_t left = pane->rect.left, top = pane->rect.top;
    bool handled;
    {
        ObjectHandle held = ObjectHandle::Borrow(control);
        handled = RaiseControlPointBooleanEvent(control, pane->kind->mouseDown, p.x - left, p.y - top);
        if (handled && StillThere(view, pane) && !pane->closing && !view->closing) StartTracking(view, pane);
    }
    return handled;
}

bool ButtonStillHeld() {
    MSG up;
    if (PeekMessageW(&up, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE) ||
        PeekMessageW(&up, nullptr, WM_RBUTTONUP, WM_RBUTTONUP, PM_NOREMOVE))
        return true;  // the release is on its way
    int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    return (GetAsyncKeyState(button) & 0x8000) || (GetAsyncKeyState(button == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON) & 0x8000);
}

// A point of the window's client area in the tracking pane's coordinates.
POINT TrackingPoint(POINT screen) {
    POINT p = screen;
    ScreenToClient(gTracking.view->handle.Get(), &p);
    if (gTracking.pane) p.x -= gTracking.pane->rect.left, p.y -= gTracking.pane->rect.top;
    return p;
}

void RaiseDrag(POINT screen) {
    ViewWindow* view = gTracking.view;
    Pane* pane = gTracking.pane;
    POINT p = TrackingPoint(screen);
    if (pane) {
        if (pane->control && pane->kind && !pane->closing)
            RaiseControlPointEvent(pane->control, pane->kind->mouseDrag, p.x, p.y);
    } else if (!view->closing) {
        RaiseWindowPointEvent(view->window, kWindowMouseDrag, p.x, p.y);
    }
}

// The tracking ends first; its MouseUp follows at the point.
void EndTracking(POINT screen) {
    if (!gTracking.view) return;
    POINT p = TrackingPoint(screen);
    ViewWindow* view = gTracking.view;
    Pane* pane = gTracking.pane;
    gTracking.capture.Reset();
    gTracking.view = nullptr;
    gTracking.pane = nullptr;
    if (pane) {
        if (pane->control && pane->kind && !pane->closing)
            RaiseControlPointEvent(pane->control, pane->kind->mouseUp, p.x, p.y);
    } else if (!view->closing) {
        RaiseWindowPointEvent(view->window, kWindowMouseUp, p.x, p.y);
    }
}

// Mouse-exit processing of a window: its entered controls, then itself.
void ExitWindow(ViewWindow* view) {
    ObjectHeader* window = view->window;
    ForEachWindowControl(window, [](ObjectHeader* control) {
        if (!AsControl(control)->mouseInside) return;
        AsControl(control)->mouseInside = 0;
        RaiseControlEvent(control, RectControlEventRow(kRectControlMouseExit));
    });
    if (!view->closing) RaiseWindowEvent(window, kWindowMouseExit);
}

void MoveInWindow(ViewWindow* view, POINT p) {
    ObjectHeader* window = view->window;
    ForEachWindowControl(window, [&](ObjectHeader* control) {
        ControlObject* c = AsControl(control);
        Pane* pane = c->pane;
        if (!c->mouseInside || (pane && PaneIsVisible(pane) && PaneContains(pane, p))) return;
        c->mouseInside = 0;
        RaiseControlEvent(control, RectControlEventRow(kRectControlMouseExit));
    });
    ForEachWindowControl(window, [&](ObjectHeader* control) {
        ControlObject* c = AsControl(control);
        Pane* pane = c->pane;
        if (!pane || !PaneIsVisible(pane) || !PaneContains(pane, p) || view->closing) return;
        if (!c->mouseInside) {
            c->mouseInside = 1;
            RaiseControlEvent(control, RectControlEventRow(kRectControlMouseEnter));
        }
        if (c->pane)
            RaiseControlPointEvent(control, RectControlEventRow(kRectControlMouseMove), p.x - c->pane->rect.left,
                                   p.y - c->pane->rect.top);
    });
    if (!view->closing) RaiseWindowPointEvent(window, kWindowMouseMove, p.x, p.y);
}

}  // namespace

extern "C" int32_t IsCMMClick(void) { return gContextualClick ? 1 : 0; }

int32_t MouseMessageModifiers(WPARAM wParam) {
    int32_t m = 0;
    if (wParam & MK_CONTROL) m |= 0x1000;
    if (wParam & MK_SHIFT) m |= 0x200;
    if (GetKeyState(VK_MENU) & 0x8000) m |= 0x800;
    return m;
}

void WindowMouseDown(ViewWindow* view, POINT p, bool right, bool, int32_t modifiers) {
    if (!view || view->closing || !view->window) return;
    gEventModifiers = modifiers;
    gContextualClick = right;  // for the duration of the MouseDown handlers
    LockViewWindow(view);
    bool handled = false;
    std::vector<Pane*> panes = view->panes;
    for (size_t i = panes.size(); i-- > 0 && !handled && !view->closing;) {
        Pane* pane = panes[i];
        if (!Listed(view, pane) || !PaneIsVisible(pane) || !PaneContains(pane, p)) continue;
        handled = PaneMouseDown(view, pane, p);
    }
    if (!handled && !view->closing && RaiseWindowPointEvent(view->window, kWindowMouseDown, p.x, p.y) &&
        !view->closing)
        StartTracking(view, nullptr);
    gContextualClick = false;
    // A handler that ran its own loop (a pop-up menu, a drag) took the release.
    if (gTracking.view && !ButtonStillHeld()) {
        POINT cursor;
        GetCursorPos(&cursor);
        EndTracking(cursor);
    }
    UnlockViewWindow(view);
}

void WindowMouseUp(POINT screenPoint) { EndTracking(screenPoint); }

bool MouseTracking() { return gTracking.view != nullptr; }

void PollMouse(POINT cursor) {
    if (gTracking.view) return RaiseDrag(cursor);
    HWND under = WindowFromPoint(cursor);
    HWND top = under ? GetAncestor(under, GA_ROOT) : nullptr;
    ViewWindow* view = FindViewWindow(top);
    if (view && view->closing) view = nullptr;
    if (gPointerWindow && gPointerWindow != view) {
        ViewWindow* old = gPointerWindow;
        gPointerWindow = nullptr;
        LockViewWindow(old);
        ExitWindow(old);
        UnlockViewWindow(old);
    }
    if (!view) return;
    POINT p = cursor;
    ScreenToClient(view->handle.Get(), &p);
    RECT client;
    GetClientRect(view->handle.Get(), &client);
    if (!PtInRect(&client, p)) return;
    LockViewWindow(view);
    if (gPointerWindow != view) {
        gPointerWindow = view;
        RaiseWindowEvent(view->window, kWindowMouseEnter);
    }
    if (!view->closing) MoveInWindow(view, p);
    UnlockViewWindow(view);
}

// The panes of this layer (canvases) do not scroll by the wheel; the
// standard controls take it in their own windows.
bool WindowMouseWheel(ViewWindow*, WPARAM, LPARAM) { return false; }

bool WindowSetCursor(ViewWindow*) {
    // Cursor objects carry no system cursor: every cursor shows as the arrow.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return false;
}

void ForgetPaneInput(Pane* pane) {
    if (gTracking.pane == pane) {
        gTracking.capture.Reset();
        gTracking.view = nullptr;
        gTracking.pane = nullptr;
    }
}

void ForgetWindowInput(ViewWindow* view) {
    if (gTracking.view == view) {
        gTracking.capture.Reset();
        gTracking.view = nullptr;
        gTracking.pane = nullptr;
    }
    if (gPointerWindow == view) gPointerWindow = nullptr;
}
