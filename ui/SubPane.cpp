// Panes: their child windows, states, rectangles, locks and delegates, and
// the window procedure of TW_Pane and TW_CanvasPane.
#include "ui/SubPane.h"

#include <windowsx.h>

#include <algorithm>
#include <new>

#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "strings/utility.h"
#include "ui/ControlObject.h"
#include "ui/Focus.h"
#include "ui/MouseDispatch.h"
#include "ui/ViewWindow.h"
#include "ui/window.h"

namespace {

void DestroyPane(Pane* pane);

RECT ToRect(const Rect16& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

void Unlink(std::vector<Pane*>& list, Pane* pane) {
    list.erase(std::remove(list.begin(), list.end(), pane), list.end());
}

void DetachDelegate(Pane* pane) {
    ObjectHeader* control = pane->control;
    if (!control) return;
    if (pane->kind && pane->kind->detach) pane->kind->detach(pane);
    RUNTIME_ASSERT(AsControl(control)->pane == pane && "ctl->mDelegate == this");
    AsControl(control)->pane = nullptr;
    pane->control = nullptr;
    pane->mouseCursor = nullptr;
    RuntimeUnlockObject(control);
}

void DestroyPane(Pane* pane) {
    while (!pane->children.empty()) DestroyPane(pane->children.back());
    RUNTIME_ASSERT(pane != FocusPane() && "this != GetFocusPane()");
    RUNTIME_ASSERT(pane->lockCount <= 0 && "mLockCount <= 0");
    ForgetPaneInput(pane);
    DetachDelegate(pane);
    if (pane->parent) Unlink(pane->parent->children, pane);
    if (pane->view) Unlink(pane->view->panes, pane);
    if (HWND handle = pane->handle.Get()) SetWindowLongPtrW(handle, 0, 0);
    pane->handle.Reset();
    pane->~Pane();
    PoolFree(pane, sizeof(Pane));
}

void PaintPane(Pane* pane) {
    if (pane->kind && pane->kind->paint && !pane->closing) return pane->kind->paint(pane);
    PAINTSTRUCT ps;
    BeginPaint(pane->handle.Get(), &ps);
    EndPaint(pane->handle.Get(), &ps);
}

// Button messages go to the top-level window in its client coordinates.
void ForwardButton(Pane* pane, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!pane->view || pane->closing) return;
    POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(pane->handle.Get(), pane->view->handle.Get(), &p, 1);
    bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
    bool doubleClick = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK;
    WindowMouseDown(pane->view, p, right, doubleClick, MouseMessageModifiers(wParam));
}

}  // namespace

Pane* CreatePane(ViewWindow* view, const Rect16& rect, const PaneKind* kind, DWORD exStyle) {
    if (!view || !view->handle.Get()) {
        RuntimeAssertionReport(0, 0, "SubPane", __LINE__, "No owner", nullptr);
        return nullptr;
    }
    HWND handle = CreateWindowExW(exStyle, kind->className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left,
                                  rect.top, rect.right - rect.left, rect.bottom - rect.top, view->handle.Get(),
                                  nullptr, gInstance, nullptr);
    if (!handle) return nullptr;
    void* block = PoolAlloc(sizeof(Pane), false);
    Pane* pane = new (block) Pane;
    pane->handle.Reset(handle);
    pane->rect = rect;
    pane->view = view;
    pane->kind = kind;
    SetWindowLongPtrW(handle, 0, reinterpret_cast<LONG_PTR>(pane));
    view->panes.push_back(pane);
    return pane;
}

bool PaneIsVisible(const Pane* pane) {
    for (const Pane* p = pane; p; p = p->parent)
        if (!p->ownVisible) return false;
    return pane != nullptr;
}

bool PaneContains(const Pane* pane, POINT p) {
    const Rect16& r = pane->rect;
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool RectInside(const Rect16& inner, const Rect16& outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

void SetPaneState(Pane* pane, PaneState state) {
    if (!pane) return;
    HWND handle = pane->handle.Get();
    switch (state) {
        case kPaneEnable: pane->enabled = true; if (handle) EnableWindow(handle, TRUE); break;
        case kPaneDisable: pane->enabled = false; if (handle) EnableWindow(handle, FALSE); break;
        case kPaneShow: pane->ownVisible = true; if (handle) ShowWindow(handle, SW_SHOWNA); break;
        case kPaneHide:
            pane->ownVisible = false;
            if (handle) ShowWindow(handle, SW_HIDE);
            if (pane == FocusPane()) ClearFocus();
            break;
    }
    for (Pane* child : pane->children) SetPaneState(child, state);
}

void SetPaneRect(Pane* pane, const Rect16& rect) {
    if (!pane) return;
    RECT before = ToRect(pane->rect);
    pane->rect = rect;
    HWND handle = pane->handle.Get();
    if (!handle || !pane->view) return;
    MoveWindow(handle, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
    // What the pane left and where it now is are drawn again.
    HWND window = pane->view->handle.Get();
    InvalidateRect(window, &before, TRUE);
    RedrawWindow(handle, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

void AttachDelegate(Pane* pane, ObjectHeader* control) {
    RuntimeLockObject(control);
    pane->control = control;
    AsControl(control)->pane = pane;
    pane->mouseCursor = AsControl(control)->mouseCursor;
}

void ClosePane(Pane* pane) {
    if (!pane || pane->closing) return;
    pane->closing = true;
    DropFocusFrom(pane);
    ForgetPaneInput(pane);
    if (pane->lockCount <= 0) DestroyPane(pane);
}

void DestroyWindowPanes(ViewWindow* view) {
    while (!view->panes.empty()) {
        Pane* pane = view->panes.back();
        DropFocusFrom(pane);
        pane->lockCount = 0;  // the window's own lock kept it until now
        DestroyPane(pane);
    }
    view->rememberedFocus = nullptr;
}

Pane* PaneFromHandle(HWND handle) {
    if (!handle) return nullptr;
    wchar_t name[32] = {};
    GetClassNameW(handle, name, 32);
    if (lstrcmpW(name, L"TW_Pane") != 0 && lstrcmpW(name, L"TW_CanvasPane") != 0) return nullptr;
    return reinterpret_cast<Pane*>(GetWindowLongPtrW(handle, 0));
}

PaneLock::PaneLock(Pane* pane) : pane_(pane), view_(pane ? pane->view : nullptr), window_(nullptr) {
    if (pane_) ++pane_->lockCount;
    if (view_) {
        window_ = view_->handle.Get();
        LockViewWindow(view_);
    }
}

PaneLock::~PaneLock() {
    if (pane_ && --pane_->lockCount == 0 && pane_->closing) DestroyPane(pane_);
    if (view_) UnlockViewWindow(view_);
}

bool PaneLock::Gone() const {
    if (pane_ && pane_->closing) return true;
    return view_ && view_->closing;
}

LRESULT CALLBACK PaneWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Pane* pane = reinterpret_cast<Pane*>(GetWindowLongPtrW(handle, 0));
    if (!pane) return DefWindowProcW(handle, message, wParam, lParam);
    switch (message) {
        case WM_PAINT: PaintPane(pane); return 0;
        case WM_ERASEBKGND: return 1;  // the pane's painting covers it, or what is behind shows through
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: ForwardButton(pane, message, wParam, lParam); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: {
            POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(handle, &p);
            WindowMouseUp(p);
            return 0;
        }
        case WM_NCDESTROY:
            // The top-level window went first and took its children with it.
            pane->handle.Release();
            SetWindowLongPtrW(handle, 0, 0);
            break;
        default: break;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}
