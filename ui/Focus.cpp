// The keyboard focus: one focus pane per process, the focus a window keeps
// while inactive, Tab order over a window's panes, and the focus seam.
#include "ui/Focus.h"

#include <algorithm>
#include <vector>

#include "ui/ControlEvents.h"
#include "ui/ControlObject.h"
#include "ui/Controls.h"
#include "ui/FocusSeam.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"

namespace {

Pane* gFocusPane = nullptr;

void GotFocus(Pane* pane) {
    if (HWND handle = pane->handle.Get()) SetFocus(handle);
    if (pane->control && pane->kind) RaiseControlEvent(pane->control, pane->kind->gotFocus);
    if (pane->kind && pane->kind->focusChanged && !pane->closing) pane->kind->focusChanged(pane, true);
}

void LostFocus(Pane* pane) {
    if (pane->control && pane->kind) RaiseControlEvent(pane->control, pane->kind->lostFocus);
    if (pane->kind && pane->kind->focusChanged && !pane->closing) pane->kind->focusChanged(pane, false);
}

bool WindowIsActive(ViewWindow* view) { return view && GetActiveWindow() == view->handle.Get(); }

// ---- The seam -------------------------------------------------------------------------------

ObjectHeader* SeamFocusControl() { return gFocusPane ? gFocusPane->control : nullptr; }

void SeamEnableMenuItems(ObjectHeader* control) {
    Pane* pane = control ? AsControl(control)->pane : nullptr;
    if (pane && pane->kind) RaiseControlEvent(control, pane->kind->enableMenuItems);
}

bool SeamKeyDown(ObjectHeader* control, uint8_t key) {
    Pane* pane = control ? AsControl(control)->pane : nullptr;
    if (!pane || !pane->kind || !pane->kind->keyDown || pane->closing) return false;
    PaneLock lock(pane);
    return pane->kind->keyDown(pane, key);
}

// Tab order: the window's panes in creation order.
bool SeamMoveFocus(HWND handle, bool backwards) {
    ViewWindow* view = FindViewWindow(handle ? GetAncestor(handle, GA_ROOT) : nullptr);
    if (!view) return false;
    std::vector<Pane*> candidates;
    for (Pane* pane : view->panes)
        if (PaneAcceptsFocus(pane)) candidates.push_back(pane);
    if (candidates.empty()) return false;
    auto at = std::find(candidates.begin(), candidates.end(), gFocusPane);
    size_t n = candidates.size();
    size_t next;
    if (at == candidates.end())
        next = backwards ? n - 1 : 0;
    else
        next = (size_t(at - candidates.begin()) + (backwards ? n - 1 : 1)) % n;
    GiveFocus(candidates[next]);
    return true;
}

}  // namespace

Pane* FocusPane() { return gFocusPane; }

bool PaneAcceptsFocus(Pane* pane) {
    return pane && !pane->closing && pane->kind && pane->kind->acceptsFocus && pane->kind->acceptsFocus(pane);
}

void GiveFocus(Pane* pane) {
    if (!PaneAcceptsFocus(pane)) return;
    ViewWindow* view = pane->view;
    if (!WindowIsActive(view)) {
        view->rememberedFocus = pane;  // given when the window is activated
        return;
    }
    if (gFocusPane == pane) return;
    Pane* old = gFocusPane;
    gFocusPane = pane;
    if (old) {
        PaneLock lock(old);
        LostFocus(old);
    }
    if (gFocusPane != pane) return;  // a handler moved it on
    PaneLock lock(pane);
    GotFocus(pane);
}

void ClearFocus() {
    Pane* old = gFocusPane;
    if (!old) return;
    gFocusPane = nullptr;
    PaneLock lock(old);
    LostFocus(old);
}

void DropFocusFrom(Pane* pane) {
    if (!pane) return;
    if (gFocusPane == pane) gFocusPane = nullptr;
    if (pane->view && pane->view->rememberedFocus == pane) pane->view->rememberedFocus = nullptr;
}

void WindowFocusActivated(ViewWindow* view, bool active) {
    if (!view || view->closing) return;
    if (active) {
        Pane* pane = view->rememberedFocus;
        view->rememberedFocus = nullptr;
        // The floating windows do not take the focus back.
        if (pane && view->frameCode != 1 && view->frameCode != 7) GiveFocus(pane);
        return;
    }
    if (gFocusPane && gFocusPane->view == view) {
        view->rememberedFocus = gFocusPane;  // dropped again if a LostFocus handler closes it
        ClearFocus();
    }
}

void InstallFocusSeam() {
    FocusSeam seam = {};
    seam.focusControl = SeamFocusControl;
    seam.menuHandler = ControlMenuHandler;
    seam.defaultCommand = nullptr;
    seam.enableMenuItems = SeamEnableMenuItems;
    seam.keyDown = SeamKeyDown;
    seam.moveFocus = SeamMoveFocus;
    SetFocusSeam(seam);
}
