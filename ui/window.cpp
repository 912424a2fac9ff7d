// Window objects and their native windows: creation in order, opening,
// showing on the next loop iteration, the modal run, closing, and the
// window procedure of TWWindow.
#include "ui/window.h"

#include <new>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "graphics/PixelMap.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectFields.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "startup/SystemVersion.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "ui/ControlObject.h"
#include "ui/Focus.h"
#include "ui/ModalStack.h"
#include "ui/MouseDispatch.h"
#include "ui/NilArgument.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"
#include "ui/WindowControls.h"
#include "ui/WindowFrames.h"
#include "ui/WindowObject.h"
#include "ui/menubar.h"
#include "ui/win32windows.h"

namespace {

LoopIteration gModalIteration = nullptr;
bool gAnyWindowActivated = false;  // before the first activation, sizes and moves are not reported

// ---- Events ------------------------------------------------------------------------------

EventRow kWindowEvents[] = {
    {kEventWindowSetup, "Layout", nullptr, nullptr, nullptr},
    {kEventWindowSetup, "CreateControls", nullptr, nullptr, nullptr},
    {kEventWindowSetup, "SetupBindings", nullptr, nullptr, nullptr},
    {0, "Open", nullptr, nullptr, nullptr},
    {0, "Close", nullptr, nullptr, nullptr},
    {0, "CancelClose", nullptr, "Boolean", nullptr},
    {0, "KeyDown", "Key As String", "Boolean", nullptr},
    {0, "MouseMove", "X As Integer, Y As Integer", nullptr, nullptr},
    {0, "MouseEnter", nullptr, nullptr, nullptr},
    {0, "MouseExit", nullptr, nullptr, nullptr},
    {0, "Paint", "g As Graphics", nullptr, nullptr},
    {0, "MouseDown", "X As Integer, Y As Integer", "Boolean", nullptr},
    {0, "MouseDrag", "X As Integer, Y As Integer", nullptr, nullptr},
    {0, "MouseUp", "X As Integer, Y As Integer", nullptr, nullptr},
    {0, "EnableMenuItems", nullptr, nullptr, nullptr},
    {0, "Resized", nullptr, nullptr, nullptr},
    {0, "Resizing", nullptr, nullptr, nullptr},
    {0, "Moved", nullptr, nullptr, nullptr},
    {0, "DropObject", "obj As DragItem", nullptr, nullptr},
    {0, "Activate", nullptr, nullptr, nullptr},
    {0, "Deactivate", nullptr, nullptr, nullptr},
};
static_assert(sizeof kWindowEvents / sizeof kWindowEvents[0] == kWindowEventCount, "one row per event");

using PlainHandler = void(__cdecl*)(ObjectHeader* window);
using BooleanHandler = bool(__cdecl*)(ObjectHeader* window);

void FinishClose(ViewWindow* view);

ViewWindow* ViewOf(ObjectHeader* window) { return window ? AsWindow(window)->native : nullptr; }

// Every event is raised with the window object and its native window locked:
// a window closed inside a handler is destroyed when the handler returns.
class EventLock {
public:
    explicit EventLock(ObjectHeader* window) : object_(ObjectHandle::Borrow(window)), view_(ViewOf(window)) {
        if (view_) LockViewWindow(view_);
    }
    ~EventLock() {
        if (view_) UnlockViewWindow(view_);
    }
    EventLock(const EventLock&) = delete;
    EventLock& operator=(const EventLock&) = delete;

private:
    ObjectHandle object_;
    ViewWindow* view_;
};

void RaisePlain(ObjectHeader* window, WindowEvent event) {
    if (!window) return;
    EventLock lock(window);
    if (void* handler = EventHandlerFor(window, kWindowEvents[event])) reinterpret_cast<PlainHandler>(handler)(window);
}

bool RaiseBoolean(ObjectHeader* window, WindowEvent event) {
    if (!window) return false;
    EventLock lock(window);
    void* handler = EventHandlerFor(window, kWindowEvents[event]);
    return handler && reinterpret_cast<BooleanHandler>(handler)(window);
}

// Opening: each control's Open, then the window's.
void OpenWindow(ObjectHeader* window) {
    EventLock lock(window);
    OpenWindowControls(window);
    RaisePlain(window, kWindowOpen);
}

// During start-up the opening events run behind a landing block, so that an
// exception in them is reported as any unhandled one.
void RaiseOpening(ObjectHeader* window) {
    if (gRunning) return OpenWindow(window);
    ObjectHandle exception = ObjectHandle::Adopt(ProtectedCall(
        [](void* context) { OpenWindow(static_cast<ObjectHeader*>(context)); }, window));
    if (exception) RuntimeUnhandledException(exception.Get());
}

// ---- Geometry ----------------------------------------------------------------------------

RECT ClientScreenRect(HWND handle) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(handle, &r);
    MapWindowPoints(handle, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Rect16 ToRect16(const RECT& r) {
    return Rect16{int16_t(r.top), int16_t(r.left), int16_t(r.bottom), int16_t(r.right)};
}

// The window rectangle whose client area is bounds, for the window's styles.
RECT WindowRectFor(HWND handle, const Rect16& bounds) {
    RECT r = {bounds.left, bounds.top, bounds.right, bounds.bottom};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongW(handle, GWL_STYLE)), GetMenu(handle) != nullptr,
                       DWORD(GetWindowLongW(handle, GWL_EXSTYLE)));
    return r;
}

// ---- The native window -------------------------------------------------------------------

ViewWindow* ViewFromHandle(HWND handle) { return reinterpret_cast<ViewWindow*>(GetWindowLongPtrW(handle, 0)); }

HWND OwnerForNewWindow() {
    if (HWND modal = ModalStackNewestVisible()) return modal;
    if (!ModalStackIsEmpty()) return nullptr;
    if (gMDIMode) return gMDIFrame;
    HWND active = GetActiveWindow();
    ViewWindow* view = FindViewWindow(active);
    if (view && IsDocumentFrameCode(view->frameCode) && IsWindowVisible(active)) return active;
    return nullptr;
}

std::vector<wchar_t> WideTitle(StringValue* title) {
    StringHandle wide = StringHandle::Borrow(title).ToUtf16();
    std::vector<wchar_t> text;
    if (!wide.IsEmpty()) {
        const uint16_t* units = wide.Utf16();
        text.assign(units, units + wide.Length() / 2);
    }
    text.push_back(0);
    return text;
}

ViewWindow* NewView() {
    void* block = PoolAlloc(sizeof(ViewWindow), false);
    return new (block) ViewWindow;
}

void FreeView(ViewWindow* view) {
    view->~ViewWindow();
    PoolFree(view, sizeof(ViewWindow));
}

// Steps 1-3 of building the native window: the handle, its state and the lists.
ViewWindow* CreateNativeWindow(WindowObject* w, int32_t code) {
    FrameStyle f = StyleForFrameCode(code, w->closeBox, w->growIcon, w->zoomIcon, gMDIMode);
    RECT r = {w->bounds.left, w->bounds.top, w->bounds.right, w->bounds.bottom};
    AdjustWindowRectEx(&r, f.style, FALSE, f.exStyle);
    HWND owner = f.owned ? OwnerForNewWindow() : nullptr;
    HWND handle;
    if (IsWindowsNT()) {
        handle = CreateWindowExW(f.exStyle, L"TWWindow", WideTitle(w->title).data(), f.style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, owner, nullptr, gInstance, nullptr);
    } else {
        handle = CreateWindowExA(f.exStyle, "TWWindow", StringText(w->title), f.style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, owner, nullptr, gInstance, nullptr);
    }
    if (!handle) return nullptr;
    ViewWindow* view = NewView();
    view->handle.Reset(handle);
    view->window = &w->header;
    RuntimeLockObject(&w->header);
    view->frameCode = code;
    view->resizable = f.resizable;
    view->shown = true;
    SetWindowLongPtrW(handle, 0, reinterpret_cast<LONG_PTR>(view));
    ViewWindowListAdd(view);
    if (f.modal) ModalStackPush(handle);
    w->native = view;
    return view;
}

void ApplyBackground(WindowObject* w, ViewWindow* view) {
    view->ownBackground = w->hasBackColor != 0;
    if (view->ownBackground) {
        uint32_t c = w->backColor;
        view->backColor = RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    }
    view->backdrop = w->backdrop;
}

// Steps 3-5 of closing: the window object lets go of everything and the
// native window goes. Destroying the handle may already have happened.
void FinishClose(ViewWindow* view) {
    ObjectHeader* window = view->window;
    WindowObject* w = AsWindow(window);
    NoteImplicitWindowClosed(window);
    ForgetWindowInput(view);
    if (StringMap* controls = w->controls) {
        // A control held elsewhere stays listed, so that its window can still be asked for it.
        std::vector<StringValue*> gone;
        controls->ForEach([&](StringValue* key, void* value) {
            auto* control = static_cast<ObjectHeader*>(value);
            if (control && control->refCount > 1) return;
            gone.push_back(key);
        });
        for (StringValue* key : gone) {
            void* value = nullptr;
            StringHandle held = StringHandle::Borrow(key);
            controls->Find(held.Get(), &value);
            controls->Remove(held.Get());
            RuntimeUnlockObject(static_cast<ObjectHeader*>(value));
        }
    }
    if (StringMap* handlers = w->menuHandlers) {
        w->menuHandlers = nullptr;
        handlers->ForEach([](StringValue*, void* h) { RuntimeUnlockObject(static_cast<ObjectHeader*>(h)); });
        delete handlers;
    }
    DestroyWindowPanes(view);
    if (StringMap* controls = w->controls)
        controls->ForEach([](StringValue*, void* value) {
            auto* object = static_cast<ObjectHeader*>(value);
            if (IsControl(object)) AsControl(object)->windowPane = nullptr;
        });
    w->native = nullptr;
    view->window = nullptr;
    HWND handle = view->handle.Get();
    if (handle) SetWindowLongPtrW(handle, 0, 0);
    ViewWindowListRemove(view);
    ModalStackRemove(handle);
    if (handle && (view->frameCode == 10 || view->frameCode == 12)) ShowWindow(handle, SW_HIDE);
    view->handle.Reset();
    FreeView(view);
    RuntimeUnlockObject(window);
}

// ---- Messages ----------------------------------------------------------------------------

using PaintHandler = void(__cdecl*)(ObjectHeader* window, ObjectHeader* g);

// Paint with a fresh Graphics on the paint's device context. The Graphics
// loses its surface when the paint ends, so one kept by the module draws
// nothing afterwards instead of on a device context that is gone.
void RaisePaint(ViewWindow* view, HDC device) {
    ObjectHeader* window = view->window;
    EventLock lock(window);
    void* handler = EventHandlerFor(window, kWindowEvents[kWindowPaint]);
    if (!handler) return;
    RECT client;
    GetClientRect(view->handle.Get(), &client);
    DrawingContext* dc = DrawingContextCreateOnDevice(device, client.right, client.bottom);
    ObjectHandle g = ObjectHandle::Adopt(NewGraphicsObject(dc));
    if (!g) return;
    reinterpret_cast<PaintHandler>(handler)(window, g.Get());
    DrawingContextDetachSurface(dc);
}

void DrawBackdrop(ObjectHeader* picture, HDC device) {
    PixelMap* map = picture ? FieldAt<PixelMap*>(picture, kPictureMapAt) : nullptr;
    if (!map || !map->bitmap) return;
    // A bitmap is selected into one device context at a time: the picture's
    // own Graphics may hold it as the current context.
    DrawingContextReleaseCurrent();
    MemoryDC source;
    SelectedObject bitmap(source.Get(), map->bitmap);
    BitBlt(device, 0, 0, map->width, map->height, source.Get(), 0, 0, SRCCOPY);
}

void PaintView(ViewWindow* view) {
    PaintDC paint(view->handle.Get());
    if (!paint.Get()) return;
    SetTextAlign(paint.Get(), TA_BASELINE);
    DrawBackdrop(view->backdrop, paint.Get());
    RaisePaint(view, paint.Get());
}

LRESULT EraseView(ViewWindow* view, HDC dc) {
    RECT r;
    GetClientRect(view->handle.Get(), &r);
    GdiHandle<HBRUSH> brush(CreateSolidBrush(view->ownBackground ? view->backColor : GetSysColor(COLOR_BTNFACE)));
    FillRect(dc, &r, brush.Get());
    return 1;
}

void ActivateView(ViewWindow* view, bool active) {
    gAnyWindowActivated = true;
    HWND handle = view->handle.Get();
    WindowFocusActivated(view, active);
    RaisePlain(view->window, active ? kWindowActivate : kWindowDeactivate);
    // The handler may have closed the window.
    view = FindViewWindow(handle);
    if (view && !view->closing) UpdateMenusForFrontWindow();
}

// Attaches the window's menu bar; the first menu makes the window taller by
// the bar, so that the client area keeps its size.
void AttachMenuBar(WindowObject* w) {
    HMENU menu = MenuBarHandle(w->menuBar);
    if (gMDIMode) return InstallFrameMenuBar(w->menuBar);
    ViewWindow* view = w->native;
    if (!view) return;
    HWND handle = view->handle.Get();
    bool hadMenu = GetMenu(handle) != nullptr;
    RECT client;
    GetClientRect(handle, &client);
    SetMenu(handle, menu);
    if (hadMenu || !menu) return;
    RECT r = client;
    AdjustWindowRectEx(&r, DWORD(GetWindowLongW(handle, GWL_STYLE)), TRUE, DWORD(GetWindowLongW(handle, GWL_EXSTYLE)));
    SetWindowPos(handle, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The client area took its new size: controls follow, then Resized.
void ReportResized(ViewWindow* view) {
    WindowObject* w = AsWindow(view->window);
    w->current = ToRect16(ClientScreenRect(view->handle.Get()));
    LayOutLockedControls(view->window, w->current);
    view->resizedOwed = false;
    if (!view->closing) RaisePlain(view->window, kWindowResized);
}

void SizeView(ViewWindow* view) {
    if (!gAnyWindowActivated || view->closing) return;
    if (view->inSizeMove) {
        WindowObject* w = AsWindow(view->window);
        w->current = ToRect16(ClientScreenRect(view->handle.Get()));
        if (w->liveResize) LayOutLockedControls(view->window, w->current);
        view->resizedOwed = true;
        RaisePlain(view->window, kWindowResizing);
        return;
    }
    ReportResized(view);
}

void MoveView(ViewWindow* view) {
    if (!gAnyWindowActivated || view->closing) return;
    WindowObject* w = AsWindow(view->window);
    RECT r = ClientScreenRect(view->handle.Get());
    w->bounds = ToRect16(r);
    w->current = w->bounds;
    RaisePlain(view->window, kWindowMoved);
}

void ClampView(ViewWindow* view, WPARAM edge, RECT* dragged) {
    WindowObject* w = AsWindow(view->window);
    RECT window, client;
    GetWindowRect(view->handle.Get(), &window);
    GetClientRect(view->handle.Get(), &client);
    int32_t frameWidth = (window.right - window.left) - (client.right - client.left);
    int32_t frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
    ClampSizingRect(dragged, edge, SizeLimits{w->minWidth, w->minHeight, w->maxWidth, w->maxHeight}, frameWidth,
                    frameHeight);
}

// A click on another window while a modal window is up is refused.
LRESULT MouseActivate(HWND handle) {
    HWND modal = ModalStackNewestVisible();
    if (modal && modal != handle) {
        MessageBeep(0);
        return MA_NOACTIVATEANDEAT;
    }
    return MA_ACTIVATE;
}

void MouseButtonDown(ViewWindow* view, UINT message, WPARAM wParam, LPARAM lParam) {
    POINT p = {short(LOWORD(lParam)), short(HIWORD(lParam))};
    bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
    bool doubleClick = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK;
    WindowMouseDown(view, p, right, doubleClick, MouseMessageModifiers(wParam));
}

void MouseButtonUp(HWND handle, LPARAM lParam) {
    POINT p = {short(LOWORD(lParam)), short(HIWORD(lParam))};
    ClientToScreen(handle, &p);
    WindowMouseUp(p);
}

// The handle went without the window closing (its owner was destroyed):
// the window object lets go as if closed.
void HandleDestroyed(ViewWindow* view) {
    HWND handle = view->handle.Release();
    SetWindowLongPtrW(handle, 0, 0);
    ModalStackRemove(handle);
    view->closing = true;
    if (view->lockCount == 0) FinishClose(view);
}

}  // namespace

LRESULT CALLBACK ViewWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    ViewWindow* view = ViewFromHandle(handle);
    if (!view || !view->window) return DefWindowProcW(handle, message, wParam, lParam);
    switch (message) {
        case WM_CLOSE: CloseRuntimeWindow(view->window); return 0;
        case WM_PAINT: PaintView(view); return 0;
        case WM_ERASEBKGND: return EraseView(view, reinterpret_cast<HDC>(wParam));
        case WM_ACTIVATE: ActivateView(view, LOWORD(wParam) != WA_INACTIVE); return 0;
        case WM_MOUSEACTIVATE: return MouseActivate(handle);
        case WM_COMMAND:
            if (lParam == 0) {  // a menu item or its shortcut
                ChooseMenuItem(LOWORD(wParam));
                return 0;
            }
            break;
        case WM_INITMENU: UpdateMenusForFrontWindow(); return 0;
        case WM_ENTERSIZEMOVE: view->inSizeMove = true; break;
        case WM_EXITSIZEMOVE:
            view->inSizeMove = false;
            if (view->resizedOwed && !view->closing) ReportResized(view);
            break;
        case WM_SIZE: SizeView(view); return 0;
        case WM_MOVE: MoveView(view); return 0;
        case WM_SIZING: ClampView(view, wParam, reinterpret_cast<RECT*>(lParam)); return TRUE;
        case WM_SHOWWINDOW:
            SendMessageW(handle, WM_CHANGEUISTATE, 0x10002, 0);  // show focus rectangles
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: MouseButtonDown(view, message, wParam, lParam); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: MouseButtonUp(handle, lParam); return 0;
        case WM_MOUSEWHEEL:
            if (WindowMouseWheel(view, wParam, lParam)) return 0;
            break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && WindowSetCursor(view)) return TRUE;
            break;
        case WM_NCDESTROY: HandleDestroyed(view); return 0;
        default: break;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

// ---- Lifecycle ---------------------------------------------------------------------------

extern "C" void RuntimeCreateWindow(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("window");
    WindowObject* w = AsWindow(window);
    NoteImplicitWindowCreated(window);
    RaisePlain(window, kWindowLayout);
    FrameMapping frame = MapFrame(w->frame);
    POINT offset = PlacementOffset(w->placement, frame.defaultPlacement, w->bounds, MainScreenArea());
    w->bounds = OffsetRect16(w->bounds, offset.x, offset.y);
    w->current = w->previous = w->bounds;
    w->controls = new StringMap;
    w->menuHandlers = new StringMap;
    ViewWindow* view = CreateNativeWindow(w, NormaliseFrameCode(frame.code, gMDIMode));
    // Without a native window the object stays as a closed window: its methods do nothing.
    if (!view) return;
    if (w->menuBar) AttachMenuBar(w);
    if (!w->visible) view->shown = false;
    RaisePlain(window, kWindowCreateControls);
    LayOutWindowControls(window);
    w->opened = 1;
    if (w->native) CreateWindowPanes(window);
    ApplyBackground(w, view);
    RaisePlain(window, kWindowSetupBindings);
    if (w->visible && w->native) InvalidateRect(view->handle.Get(), nullptr, TRUE);
}

extern "C" void WindowDefaultConstructor(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("window");
    RaiseOpening(window);
}

bool CloseRuntimeWindow(ObjectHeader* window) {
    if (!window || !ViewOf(window)) return true;
    if (RaiseBoolean(window, kWindowCancelClose)) return false;
    ViewWindow* view = ViewOf(window);
    if (!view || view->closing) return true;
    view->closing = true;
    // The Close handlers run with the window locked; the last unlock destroys it.
    EventLock lock(window);
    CloseWindowControls(window);
    RaisePlain(window, kWindowClose);
    return true;
}

extern "C" void RuntimeCloseWindow(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self");
    CloseRuntimeWindow(window);
}

extern "C" void RuntimeShowWindow(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self");
    ViewWindow* view = ViewOf(window);
    if (!view || view->closing) return;
    AsWindow(window)->visible = 1;
    view->shown = true;
    ShowWindow(view->handle.Get(), IsZoomed(view->handle.Get()) ? SW_SHOW : SW_SHOWNORMAL);
    BringWindowToTop(view->handle.Get());
}

extern "C" void RuntimeHideWindow(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self");
    AsWindow(window)->visible = 0;
    ViewWindow* view = ViewOf(window);
    if (!view || !view->shown) return;
    view->shown = false;
    ShowWindow(view->handle.Get(), SW_HIDE);
}

extern "C" void RuntimeShowModal(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self");
    if (!ViewOf(window)) return;
    ObjectHandle held = ObjectHandle::Borrow(window);
    RuntimeShowWindow(window);
    // The run ends when the window is hidden or closed.
    while (gModalIteration && !gQuit) {
        ViewWindow* view = ViewOf(window);
        if (!view || !view->shown) break;
        gModalIteration();
    }
}

extern "C" void WindowForceUpdateFrontBuffer(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self");  // otherwise nothing: drawing already goes to the screen
}

extern "C" void formRefresh(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self");
    if (ViewWindow* view = ViewOf(window)) InvalidateRect(view->handle.Get(), nullptr, TRUE);
}

extern "C" void formRefreshRect(ObjectHeader* window, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!window) RUNCTL_NIL("self");
    RECT r = {x, y, x + width, y + height};
    if (ViewWindow* view = ViewOf(window)) InvalidateRect(view->handle.Get(), &r, TRUE);
}

void PrepareRuntimeWindows() {
    // Showing may raise events that close windows: take the list first.
    std::vector<HWND> handles;
    for (int i = 0; i < ViewWindowListCount(); ++i) handles.push_back(ViewWindowListAt(i)->handle.Get());
    for (HWND handle : handles) {
        ViewWindow* view = FindViewWindow(handle);
        if (!view) continue;
        if (view->pendingGeometry) {
            view->pendingGeometry = false;
            RECT r = WindowRectFor(handle, AsWindow(view->window)->bounds);
            MoveWindow(handle, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        }
        view = FindViewWindow(handle);
        if (view && view->shown && !IsWindowVisible(handle)) ShowWindow(handle, SW_SHOW);
    }
}

int RuntimeViewWindowCount() { return ViewWindowListCount(); }

void CloseEveryRuntimeWindow() {
    // Each window is asked once: one that refuses stays open.
    std::vector<HWND> handles;
    for (int i = 0; i < ViewWindowListCount(); ++i) handles.push_back(ViewWindowListAt(i)->handle.Get());
    for (HWND handle : handles)
        if (ViewWindow* view = FindViewWindow(handle)) CloseRuntimeWindow(view->window);
}

bool AnyRuntimeWindowRefusesClose() {
    std::vector<HWND> handles;
    for (int i = 0; i < ViewWindowListCount(); ++i) handles.push_back(ViewWindowListAt(i)->handle.Get());
    for (HWND handle : handles) {
        ViewWindow* view = FindViewWindow(handle);
        if (view && RaiseBoolean(view->window, kWindowCancelClose)) return true;
    }
    return false;
}

ObjectHeader* FrontWindowObject() {
    for (int i = 0; i < ViewWindowListCount(); ++i) {
        ViewWindow* view = ViewWindowListAt(i);
        if (IsWindowVisible(view->handle.Get())) return view->window;
    }
    return nullptr;
}

void SetModalLoopIteration(LoopIteration iteration) { gModalIteration = iteration; }

void LockViewWindow(ViewWindow* view) { ++view->lockCount; }

void UnlockViewWindow(ViewWindow* view) {
    if (--view->lockCount == 0 && view->closing) FinishClose(view);
}

void RaiseWindowEvent(ObjectHeader* window, WindowEvent event) { RaisePlain(window, event); }

bool RaiseWindowPointEvent(ObjectHeader* window, WindowEvent event, int32_t x, int32_t y) {
    if (!window) return false;
    EventLock lock(window);
    void* handler = EventHandlerFor(window, kWindowEvents[event]);
    if (!handler) return false;
    if (event == kWindowMouseDown)
        return reinterpret_cast<bool(__cdecl*)(ObjectHeader*, int32_t, int32_t)>(handler)(window, x, y);
    reinterpret_cast<void(__cdecl*)(ObjectHeader*, int32_t, int32_t)>(handler)(window, x, y);
    return false;
}

// ---- Properties --------------------------------------------------------------------------

extern "C" int32_t windowPosGetter(ObjectHeader* window, int32_t selector) {
    if (!window) RUNCTL_NIL("self", 0);
    WindowObject* w = AsWindow(window);
    Rect16 r = w->bounds;
    if (ViewWindow* view = w->native) r = ToRect16(ClientScreenRect(view->handle.Get()));
    switch (selector) {
        case 0: return r.left;
        case 1: return r.top;
        case 2: return r.right - r.left;
        case 3: return r.bottom - r.top;
        default: return 0;
    }
}

extern "C" void windowPosSetter(ObjectHeader* window, int32_t selector, int32_t value) {
    if (!window) RUNCTL_NIL("self");
    WindowObject* w = AsWindow(window);
    if (w->fullScreen) return;
    Rect16& b = w->bounds;
    switch (selector) {
        case 0: b = OffsetRect16(b, value - b.left, 0); break;
        case 1: b = OffsetRect16(b, 0, value - b.top); break;
        case 2: b.right = int16_t(b.left + value); break;
        case 3: b.bottom = int16_t(b.top + value); break;
        default: return;
    }
    if (w->native && w->frame != 2 && w->frame != 4) w->native->pendingGeometry = true;
}

extern "C" void windowVisibleSetter(ObjectHeader* window, int32_t, int32_t value) {
    if (!window) RUNCTL_NIL("self");
    if (!AsWindow(window)->native) {
        AsWindow(window)->visible = value != 0;
        return;
    }
    if (value) {
        AsWindow(window)->visible = 1;
        AsWindow(window)->native->shown = true;  // shown on the next iteration
    } else {
        RuntimeHideWindow(window);
    }
}

extern "C" void windowTitleSetter(ObjectHeader* window, int32_t, StringValue* title) {
    if (!window) {
        RuntimeAssertionReport(0, 0, "runctl", __LINE__, "window",
                               "Trying to set the window's title, but there was no window");
        return;
    }
    WindowObject* w = AsWindow(window);
    RuntimeLockUnlockStrings(title, w->title);
    w->title = title;
    if (!w->native) return;
    if (IsWindowsNT())
        SetWindowTextW(w->native->handle.Get(), WideTitle(title).data());
    else
        SetWindowTextA(w->native->handle.Get(), StringText(title));
}

// HasBackColor and BackColor: the row's parameter is the field's offset.
extern "C" void windowBackColorSetter(ObjectHeader* window, int32_t field, int32_t value) {
    if (!window) RUNCTL_NIL("self");
    WindowObject* w = AsWindow(window);
    if (field == int32_t(offsetof(WindowObject, hasBackColor)))
        w->hasBackColor = value != 0;
    else
        w->backColor = uint32_t(value);
    if (!w->native) return;
    ApplyBackground(w, w->native);
    InvalidateRect(w->native->handle.Get(), nullptr, TRUE);
}

extern "C" void windowBackdropSetter(ObjectHeader* window, int32_t, ObjectHeader* picture) {
    if (!window) RUNCTL_NIL("self");
    WindowObject* w = AsWindow(window);
    RuntimeLockUnlockObjects(picture, w->backdrop);
    w->backdrop = picture;
    if (!w->native) return;
    w->native->backdrop = picture;
    InvalidateRect(w->native->handle.Get(), nullptr, TRUE);
}

extern "C" int32_t windowHandleGetter(ObjectHeader* window, int32_t) {
    if (!window) RUNCTL_NIL("self", 0);
    ViewWindow* view = AsWindow(window)->native;
    return view ? int32_t(reinterpret_cast<intptr_t>(view->handle.Get())) : 0;
}

extern "C" int32_t windowControlCountGetter(ObjectHeader* window, int32_t) {
    if (!window) RUNCTL_NIL("self", 0);
    StringMap* controls = AsWindow(window)->controls;
    return controls ? controls->Count() : 0;
}

extern "C" int32_t windowMouseGetter(ObjectHeader* window, int32_t which) {
    if (!window) RUNCTL_NIL("self", 0);
    POINT p = {0, 0};
    GetCursorPos(&p);
    if (ViewWindow* view = AsWindow(window)->native) ScreenToClient(view->handle.Get(), &p);
    return which == 0 ? p.x : p.y;
}

extern "C" int32_t windowNoValueGetter(ObjectHeader*, int32_t) { return 0; }

extern "C" ObjectHeader* WindowMenuBarGetter(ObjectHeader* window) {
    if (!window) RUNCTL_NIL("self", nullptr);
    ObjectHeader* menu = AsWindow(window)->menuBar;
    RuntimeLockObject(menu);
    return menu;
}

extern "C" void WindowMenuBarSetter(ObjectHeader* window, ObjectHeader* menu) {
    if (!window) RUNCTL_NIL("self");
    if (!gApplicationObject)
        RuntimeAssertionReport(0, 0, "runctl", __LINE__, "app",
                               "You don't have an application object and we're expecting one");
    WindowObject* w = AsWindow(window);
    RuntimeLockUnlockObjects(menu, w->menuBar);
    w->menuBar = menu;
    AttachMenuBar(w);
}

// The MenuBar row: property routines take (object, parameter[, value]).
extern "C" ObjectHeader* windowMenuBarPropertyGetter(ObjectHeader* window, int32_t) {
    return WindowMenuBarGetter(window);
}
extern "C" void windowMenuBarPropertySetter(ObjectHeader* window, int32_t, ObjectHeader* menu) {
    WindowMenuBarSetter(window, menu);
}

namespace {

void __cdecl FinalizeWindow(ObjectHeader* window) {
    WindowObject* w = AsWindow(window);
    RuntimeUnlockObject(w->menuBar);
    w->menuBar = nullptr;
    if (StringMap* controls = w->controls) {
        w->controls = nullptr;
        controls->ForEach([](StringValue*, void* c) { RuntimeUnlockObject(static_cast<ObjectHeader*>(c)); });
        delete controls;
    }
    if (StringMap* handlers = w->menuHandlers) {
        w->menuHandlers = nullptr;
        handlers->ForEach([](StringValue*, void* h) { RuntimeUnlockObject(static_cast<ObjectHeader*>(h)); });
        delete handlers;
    }
    RuntimeUnlockObject(w->backdrop);
    RuntimeUnlockObject(w->mouseCursor);
    RuntimeUnlockObject(w->reserved3);
    StringRelease(w->title);
    StringRelease(w->balloonHelp);
    StringRelease(w->floaterProcess);
    w->backdrop = w->mouseCursor = w->reserved3 = nullptr;
    w->title = w->balloonHelp = w->floaterProcess = nullptr;
}

const ClassTypeRef kPictureType = ORVANE_CLASS_TYPE("Picture");
const ClassTypeRef kGraphicsType = ORVANE_CLASS_TYPE("Graphics");
const ClassTypeRef kMouseCursorType = ORVANE_CLASS_TYPE("MouseCursor");
const ClassTypeRef kDockItemType = ORVANE_CLASS_TYPE("DockItem");
const ClassTypeRef kMenuItemType = ORVANE_CLASS_TYPE("MenuItem");
const ClassTypeRef kWindowType = ORVANE_CLASS_TYPE("Window");
const ClassTypeRef kObjectType = ORVANE_CLASS_TYPE("Object");

#define AT(field) uint32_t(offsetof(WindowObject, field))
#define BOOL_FIELD(name, field) {0, name, &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", AT(field)}
#define INT_FIELD(name, field) {0, name, &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", AT(field)}
#define SHORT_FIELD(name, field) {0, name, &kIntegerType, nullptr, "shortGetter", nullptr, "shortSetter", AT(field)}
#define STRING_FIELD(name, field) {0, name, &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", AT(field)}
#define POSITION(name, selector) \
    {0, name, &kIntegerType, Fn(&windowPosGetter), "windowPosGetter", Fn(&windowPosSetter), "windowPosSetter", selector}

PropertyRow kWindowProperties[] = {
    {0, "Visible", &kBooleanType, nullptr, "boolGetter", Fn(&windowVisibleSetter), "windowVisibleSetter", AT(visible)},
    POSITION("Left", 0),
    POSITION("Top", 1),
    POSITION("Width", 2),
    POSITION("Height", 3),
    INT_FIELD("Placement", placement),
    {0, "Title", &kStringType, nullptr, "stringGetter", Fn(&windowTitleSetter), "windowTitleSetter", AT(title)},
    BOOL_FIELD("FullScreen", fullScreen),
    BOOL_FIELD("MenuBarVisible", menuBarVisible),
    BOOL_FIELD("CloseBox", closeBox),
    BOOL_FIELD("GrowIcon", growIcon),
    BOOL_FIELD("ZoomIcon", zoomIcon),
    INT_FIELD("Frame", frame),
    BOOL_FIELD("Composite", composite),
    BOOL_FIELD("LiveResize", liveResize),
    {0, "Backdrop", &kPictureType.header, nullptr, "objGetter", Fn(&windowBackdropSetter), "windowBackdropSetter",
     AT(backdrop)},
    {0, "Graphics", &kGraphicsType.header, nullptr, nullptr, nullptr, nullptr, 0},
    {0, "HasBackColor", &kBooleanType, nullptr, "boolGetter", Fn(&windowBackColorSetter), "windowBackColorSetter",
     AT(hasBackColor)},
    {0, "BackColor", &kColorType, nullptr, "intGetter", Fn(&windowBackColorSetter), "windowBackColorSetter",
     AT(backColor)},
    STRING_FIELD("BalloonHelp", balloonHelp),
    SHORT_FIELD("MinWidth", minWidth),
    SHORT_FIELD("MinHeight", minHeight),
    SHORT_FIELD("MaxWidth", maxWidth),
    SHORT_FIELD("MaxHeight", maxHeight),
    INT_FIELD("MacProcId", macProcId),
    {0, "MouseCursor", &kMouseCursorType.header, nullptr, "objGetter", nullptr, "objSetter", AT(mouseCursor)},
    {0, "ControlCount", &kIntegerType, Fn(&windowControlCountGetter), "windowControlCountGetter", nullptr, nullptr, 0},
    STRING_FIELD("FloaterProcess", floaterProcess),
    {0, "MouseX", &kIntegerType, Fn(&windowMouseGetter), "windowMouseGetter", nullptr, nullptr, 0},
    {0, "MouseY", &kIntegerType, Fn(&windowMouseGetter), "windowMouseGetter", nullptr, nullptr, 1},
    {0, "MacWindowPtr", &kIntegerType, Fn(&windowNoValueGetter), "windowNoValueGetter", nullptr, nullptr, 0},
    {0, "WinHWND", &kIntegerType, Fn(&windowHandleGetter), "windowHandleGetter", nullptr, nullptr, 0},
    {0, "DockItem", &kDockItemType.header, Fn(&windowNoValueGetter), nullptr, nullptr, nullptr, 0},
    {0, "MenuBar", &kMenuItemType.header, Fn(&windowMenuBarPropertyGetter), "windowMenuBarPropertyGetter",
     Fn(&windowMenuBarPropertySetter), "windowMenuBarPropertySetter", 0},
};

#undef AT
#undef BOOL_FIELD
#undef INT_FIELD
#undef SHORT_FIELD
#undef STRING_FIELD
#undef POSITION

const ParameterRecord kShowWithinParams[] = {{"parentWindow", &kWindowType.header, 0, {}, {}},
                                             {"facing", &kIntegerType, 0, {}, {}}};
const ParameterRecord kParentParams[] = {{"parentWindow", &kWindowType.header, 0, {}, {}}};
const ParameterRecord kRectParams[] = {{"x", &kIntegerType, 0, {}, {}},
                                       {"y", &kIntegerType, 0, {}, {}},
                                       {"width", &kIntegerType, 0, {}, {}},
                                       {"height", &kIntegerType, 0, {}, {}}};
const ParameterRecord kTypeParams[] = {{"type", &kStringType, 0, {}, {}}};
const ParameterRecord kIndexParams[] = {{"Index", &kIntegerType, 0, {}, {}}};
const ParameterRecord kNameParams[] = {{"str", &kStringType, 0, {}, {}}};
const ParameterRecord kNameIndexParams[] = {{"name", &kStringType, 0, {}, {}}, {"index", &kIntegerType, 0, {}, {}}};
const ParameterRecord kDrawIntoParams[] = {{"g", &kGraphicsType.header, 0, {}, {}},
                                           {"x", &kIntegerType, 0, {}, {}},
                                           {"y", &kIntegerType, 0, {}, {}}};
const ParameterRecord kObjectParams[] = {{"obj", &kObjectType.header, 0, {}, {}}};
const ParameterRecord kMenuHandlerParams[] = {{"name", &kStringType, 0, {}, {}},
                                              {"handler", &kObjectType.header, 0, {}, {}}};

#define METHOD(name, params, count, function, entryName) \
    {name, nullptr, params, count, function, entryName, {}, nullptr, nullptr, {}, 0}

MethodRow kWindowMethods[] = {
    METHOD("Show", nullptr, 0, Fn(&RuntimeShowWindow), "RuntimeShowWindow"),
    METHOD("ShowWithin", kShowWithinParams, 2, Fn(&RuntimeShowWindow), nullptr),
    METHOD("ShowModalWithin", kParentParams, 1, Fn(&RuntimeShowModal), nullptr),
    METHOD("Hide", nullptr, 0, Fn(&RuntimeHideWindow), "RuntimeHideWindow"),
    METHOD("Close", nullptr, 0, Fn(&RuntimeCloseWindow), "RuntimeCloseWindow"),
    METHOD("Refresh", nullptr, 0, Fn(&formRefresh), "formRefresh"),
    METHOD("RefreshRect", kRectParams, 4, Fn(&formRefreshRect), "formRefreshRect"),
    METHOD("ShowModal", nullptr, 0, Fn(&RuntimeShowModal), "RuntimeShowModal"),
    METHOD("NewDragItem", kRectParams, 4, nullptr, nullptr),
    METHOD("AcceptTextDrop", nullptr, 0, nullptr, nullptr),
    METHOD("AcceptPictureDrop", nullptr, 0, nullptr, nullptr),
    METHOD("AcceptFileDrop", kTypeParams, 1, nullptr, nullptr),
    METHOD("AcceptMacDataDrop", kTypeParams, 1, nullptr, nullptr),
    METHOD("Control", kIndexParams, 1, nullptr, nullptr),
    METHOD("Control", kNameParams, 1, Fn(&RuntimeControlReference), "RuntimeControlReference"),
    METHOD("Control", kNameIndexParams, 2, Fn(&RuntimeControlArrayItemReference), "RuntimeControlArrayItemReference"),
    METHOD("SetFocus", nullptr, 0, nullptr, nullptr),
    METHOD("DrawInto", kDrawIntoParams, 3, nullptr, nullptr),
    METHOD("UpdateNow", nullptr, 0, Fn(&WindowForceUpdateFrontBuffer), "WindowForceUpdateFrontBuffer"),
    METHOD("_AddControl", kObjectParams, 1, Fn(&WindowAddControl), "WindowAddControl"),
    METHOD("_AddMenuHandler", kMenuHandlerParams, 2, nullptr, nullptr),
    METHOD("Window", nullptr, 0, Fn(&WindowDefaultConstructor), "WindowDefaultConstructor"),
};

#undef METHOD

}  // namespace

ObjectDefinition* WindowDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Window", nullptr, int32_t(sizeof(WindowObject)), RuntimeCreateWindow, FinalizeWindow,
        ORVANE_ROWS(kWindowProperties), ORVANE_ROWS(kWindowMethods), ORVANE_ROWS(kWindowEvents)});
    return d;
}
