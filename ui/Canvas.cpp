// Canvas: the pane on TW_CanvasPane (transparent without a Paint handler),
// painting, the cached Graphics, the backdrop, Scroll, keys and focus.
#include "ui/Canvas.h"

#include <algorithm>

#include "graphics/DrawingContext.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "graphics/PixelMap.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectFields.h"
#include "objects/ObjectHandle.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "ui/ControlEvents.h"
#include "ui/ControlObject.h"
#include "ui/Controls.h"
#include "ui/Focus.h"
#include "ui/NilArgument.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"
#include "ui/window.h"

namespace {

EventRow kCanvasEvents[] = {
    {0, "Paint", "g As Graphics", nullptr, nullptr},
    {0, "GotFocus", nullptr, nullptr, nullptr},
    {0, "LostFocus", nullptr, nullptr, nullptr},
    {0, "KeyDown", "Key As String", "Boolean", nullptr},
    {0, "MouseDown", "X As Integer, Y As Integer", "Boolean", nullptr},
    {0, "MouseDrag", "X As Integer, Y As Integer", nullptr, nullptr},
    {0, "MouseUp", "X As Integer, Y As Integer", nullptr, nullptr},
    {0, "EnableMenuItems", nullptr, nullptr, nullptr},
};
static_assert(sizeof kCanvasEvents / sizeof kCanvasEvents[0] == kCanvasEventCount, "one row per event");

using PaintHandler = void(__cdecl*)(ObjectHeader* canvas, ObjectHeader* g);

int32_t PaneWidth(const Pane* p) { return p->rect.right - p->rect.left; }
int32_t PaneHeight(const Pane* p) { return p->rect.bottom - p->rect.top; }

void DrawBackdrop(ObjectHeader* picture, HDC device, const Pane* pane) {
    PixelMap* map = picture ? FieldAt<PixelMap*>(picture, kPictureMapAt) : nullptr;
    if (!map || !map->bitmap) return;
    // The bitmap may be selected into the picture's own current context.
    DrawingContextReleaseCurrent();
    MemoryDC source;
    SelectedObject bitmap(source.Get(), map->bitmap);
    BitBlt(device, 0, 0, std::min(PaneWidth(pane), map->width), std::min(PaneHeight(pane), map->height),
           source.Get(), 0, 0, SRCCOPY);
}

// Paint with a fresh Graphics on the paint's device context, whose clip is
// the area Windows asked for; the Graphics draws nothing once the paint ends.
void RaisePaint(ObjectHeader* canvas, Pane* pane, HDC device) {
    if (!ControlHandles(canvas, &kCanvasEvents[kCanvasPaint])) return;
    PaneLock lock(pane);
    ObjectHandle held = ObjectHandle::Borrow(canvas);
    DrawingContext* dc = DrawingContextCreateOnDevice(device, PaneWidth(pane), PaneHeight(pane));
    RECT clip = {0, 0, PaneWidth(pane), PaneHeight(pane)};
    DrawingContextSetClip(dc, &clip);
    ObjectHandle g = ObjectHandle::Adopt(NewGraphicsObject(dc));
    if (!g) return;
    void* handler = EventHandlerFor(canvas, kCanvasEvents[kCanvasPaint]);
    reinterpret_cast<PaintHandler>(handler)(canvas, g.Get());
    DrawingContextDetachSurface(dc);
}

void PaintCanvas(Pane* pane) {
    HWND window = pane->view ? pane->view->handle.Get() : nullptr;
    // A window waiting to be shown is shown before its canvas paints.
    if (window && pane->view->shown && !IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
    PaintDC paint(pane->handle.Get());
    if (!paint.Get()) return;
    ObjectHeader* canvas = pane->control;
    if (!canvas || !PaneIsVisible(pane)) return;
    SetTextAlign(paint.Get(), TA_BASELINE);
    DrawBackdrop(AsCanvas(canvas)->backdrop, paint.Get(), pane);
    RaisePaint(canvas, pane, paint.Get());
}

bool CanvasAcceptsFocus(Pane* pane) {
    ObjectHeader* canvas = pane->control;
    return canvas && AsCanvas(canvas)->acceptFocus && pane->enabled && PaneIsVisible(pane);
}

bool CanvasKeyDown(Pane* pane, uint8_t key) {
    ObjectHeader* canvas = pane->control;
    if (!canvas) return false;
    if (key == 9 && !AsCanvas(canvas)->acceptTabs) return false;  // Tab moves the focus instead
    return RaiseControlKeyEvent(canvas, &kCanvasEvents[kCanvasKeyDown], key);
}

// The cached Graphics draws on a window that is going: it draws nothing from now on.
void DetachCanvas(Pane* pane) {
    ObjectHeader* canvas = pane->control;
    if (canvas && AsCanvas(canvas)->graphics)
        DrawingContextDetachSurface(GraphicsDrawingContext(AsCanvas(canvas)->graphics));
}

// The focus ring: the pane rectangle enlarged by 3 pixels, drawn on the window.
void CanvasFocusChanged(Pane* pane, bool focused) {
    ObjectHeader* canvas = pane->control;
    if (!canvas || !AsCanvas(canvas)->useFocusRing || !pane->view) return;
    HWND window = pane->view->handle.Get();
    RECT ring = {pane->rect.left - 3, pane->rect.top - 3, pane->rect.right + 3, pane->rect.bottom + 3};
    if (focused) {
        WindowDC dc(window);
        DrawFocusRect(dc.Get(), &ring);
    } else {
        InvalidateRect(window, &ring, TRUE);
    }
}

const PaneKind kCanvasKind = {
    L"TW_CanvasPane",
    &kCanvasEvents[kCanvasMouseDown],
    &kCanvasEvents[kCanvasMouseDrag],
    &kCanvasEvents[kCanvasMouseUp],
    &kCanvasEvents[kCanvasGotFocus],
    &kCanvasEvents[kCanvasLostFocus],
    &kCanvasEvents[kCanvasEnableMenuItems],
    CanvasAcceptsFocus,
    CanvasKeyDown,
    PaintCanvas,
    DetachCanvas,
    CanvasFocusChanged,
};

// The class's own CreatePane: the pane over the control's rect, see-through
// when the class draws nothing itself.
void __cdecl CanvasCreatePane(ObjectHeader* canvas) {
    ControlObject* c = AsControl(canvas);
    bool transparent = !EventHandlerFor(canvas, kCanvasEvents[kCanvasPaint]);
    c->pane = CreatePane(c->windowPane, c->rect, &kCanvasKind, transparent ? WS_EX_TRANSPARENT : 0);
}

void __cdecl FinalizeCanvas(ObjectHeader* canvas) {
    CanvasObject* c = AsCanvas(canvas);
    RuntimeUnlockObject(c->graphics);
    RuntimeUnlockObject(c->backdrop);
    c->graphics = c->backdrop = nullptr;
}

}  // namespace

extern "C" ObjectHeader* canvasGraphicsGetter(ObjectHeader* canvas, int32_t) {
    if (!canvas) RUNCTL_NIL("self", nullptr);
    CanvasObject* c = AsCanvas(canvas);
    Pane* pane = c->control.pane;
    if (!pane || !pane->handle.Get()) return nullptr;
    if (!c->graphics) c->graphics = NewGraphicsObject(DrawingContextCreateOnWindow(pane->handle.Get()));
    if (!c->graphics) return nullptr;
    RECT clip = {0, 0, PaneWidth(pane), PaneHeight(pane)};
    DrawingContextSetClip(GraphicsDrawingContext(c->graphics), &clip);
    RuntimeLockObject(c->graphics);
    return c->graphics;
}

extern "C" void canvasBackdropSetter(ObjectHeader* canvas, int32_t, ObjectHeader* picture) {
    if (!canvas) RUNCTL_NIL("self");
    CanvasObject* c = AsCanvas(canvas);
    RuntimeLockUnlockObjects(picture, c->backdrop);
    c->backdrop = picture;
    if (Pane* pane = c->control.pane) InvalidateRect(pane->handle.Get(), nullptr, TRUE);
}

extern "C" void canvasScroll(ObjectHeader* canvas, int32_t dx, int32_t dy, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t moveControls) {
    if (!canvas) RUNCTL_NIL("self");
    Pane* pane = AsControl(canvas)->pane;
    if ((dx == 0 && dy == 0) || !pane || !pane->handle.Get()) return;
    if (width == -10000) width = PaneWidth(pane);
    if (height == -10000) height = PaneHeight(pane);
    // The pane's window has its origin at the canvas's top-left corner; the
    // strips the move uncovers are invalidated, so that Paint draws them.
    RECT area = {x, y, x + width, y + height};
    ScrollWindowEx(pane->handle.Get(), dx, dy, &area, &area, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    if (!moveControls) return;
    for (Pane* child : pane->children) {
        Rect16 r = child->rect;
        r.left = int16_t(r.left + dx), r.right = int16_t(r.right + dx);
        r.top = int16_t(r.top + dy), r.bottom = int16_t(r.bottom + dy);
        SetPaneRect(child, r);
    }
}

namespace {

const ClassTypeRef kPictureType = ORVANE_CLASS_TYPE("Picture");
const ClassTypeRef kGraphicsType = ORVANE_CLASS_TYPE("Graphics");

#define AT(field) uint32_t(offsetof(CanvasObject, field))
#define BOOL_FIELD(name, field) {0, name, &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", AT(field)}

PropertyRow kCanvasProperties[] = {
    {0, "Graphics", &kGraphicsType.header, Fn(&canvasGraphicsGetter), "canvasGraphicsGetter", nullptr, nullptr, 0},
    {0, "Backdrop", &kPictureType.header, nullptr, "objGetter", Fn(&canvasBackdropSetter), "canvasBackdropSetter",
     AT(backdrop)},
    BOOL_FIELD("AcceptFocus", acceptFocus),
    BOOL_FIELD("AcceptTabs", acceptTabs),
    BOOL_FIELD("UseFocusRing", useFocusRing),
};

#undef AT
#undef BOOL_FIELD

const ParameterRecord kScrollParams[] = {
    {"dx", &kIntegerType, 0, {}, {}},     {"dy", &kIntegerType, 0, {}, {}},
    {"x", &kIntegerType, 0, {}, {}},      {"y", &kIntegerType, 0, {}, {}},
    {"width", &kIntegerType, 0, {}, {}},  {"height", &kIntegerType, 0, {}, {}},
    {"moveControls", &kBooleanType, 0, {}, {}},
};

MethodRow kCanvasMethods[] = {
    {"Scroll", nullptr, ORVANE_ROWS(kScrollParams), Fn(&canvasScroll), "canvasScroll", {}, nullptr, nullptr, {}, 0},
};

const EventHandlerRow kCanvasHandlers[] = {{"CreatePane", Fn(&CanvasCreatePane)}};

}  // namespace

ObjectDefinition* CanvasDefinition() {
    static ObjectDefinition* d = [] {
        ClassDescription c{"Canvas", RectControlDefinition, int32_t(sizeof(CanvasObject)), nullptr, FinalizeCanvas,
                           ORVANE_ROWS(kCanvasProperties), ORVANE_ROWS(kCanvasMethods), ORVANE_ROWS(kCanvasEvents)};
        c.handlers = kCanvasHandlers;
        c.handlerCount = 1;
        return DefineClass(c);
    }();
    return d;
}
