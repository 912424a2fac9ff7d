// Graphics objects: properties, drawing methods and text.
#include "graphics/Graphics.h"

#include "graphics/DrawingContextState.h"
#include "graphics/FontCache.h"
#include "graphics/ShapePlotter.h"
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {

IntegerArrayReader gArrayReader = nullptr;

DrawingContext* ContextOf(ObjectHeader* g) {
    return g ? *reinterpret_cast<DrawingContext**>(reinterpret_cast<uint8_t*>(g) + kGraphicsContextAt) : nullptr;
}

// Text needs a surface; without one it is an internal error.
bool TextSurface(DrawingContext* dc) {
    bool ok = dc && dc->kind != kSurfaceNone;
    RUNTIME_ASSERT(ok && "text on a Graphics without a surface");
    return ok;
}

HPEN NewPen(DrawingContext* dc, int32_t width) { return CreatePen(PS_SOLID, width, ColourRef(dc->fore)); }

void SetStyleBit(ObjectHeader* g, uint32_t bit, int32_t on) {
    DrawingContext* dc = ContextOf(g);
    if (!dc) return;
    uint32_t style = on ? (dc->style | bit) : (dc->style & ~bit);
    if (style != dc->style) dc->fontValid = false;
    dc->style = style;
}
int32_t StyleBit(ObjectHeader* g, uint32_t bit) {
    DrawingContext* dc = ContextOf(g);
    return dc && (dc->style & bit) ? 1 : 0;
}

void __cdecl FinalizeGraphics(ObjectHeader* g) {
    auto** slot = reinterpret_cast<DrawingContext**>(reinterpret_cast<uint8_t*>(g) + kGraphicsContextAt);
    DrawingContextDestroy(*slot);
    *slot = nullptr;
}

void RectangleCall(ObjectHeader* g, int32_t x, int32_t y, int32_t w, int32_t h, bool fill, int kind, int32_t aw = 0,
                   int32_t ah = 0) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    RECT r = DeviceRect(dc, x, y, w, h);
    COLORREF c = ColourRef(dc->fore);
    // kind 0 rectangle, 1 oval, 2 round rectangle
    GdiHandle<HPEN> pen(CreatePen(PS_SOLID, (fill && kind == 1) ? 1 : dc->penWidth, c));
    GdiHandle<HBRUSH> brush(fill ? CreateSolidBrush(c) : nullptr);
    SelectedObject p(hdc, pen.Get()), b(hdc, fill ? HGDIOBJ(brush.Get()) : GetStockObject(NULL_BRUSH));
    if (kind == 0) Rectangle(hdc, r.left, r.top, r.right, r.bottom);
    else if (kind == 1) Ellipse(hdc, r.left, r.top, r.right, r.bottom);
    else RoundRect(hdc, r.left, r.top, r.right, r.bottom, aw, ah);
    dc->drawnOn = true;
}

void Icon(ObjectHeader* g, int32_t x, int32_t y, LPCSTR which) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    DrawIcon(hdc, DeviceX(dc, x), DeviceY(dc, y), LoadIconA(nullptr, which));
    dc->drawnOn = true;
}

void Polygon(ObjectHeader* g, ObjectHeader* points, bool fill) {
    IntegerArrayView view{nullptr, 0};
    if (!points || !gArrayReader || !gArrayReader(points, &view)) return;
    GraphicsPolygon(ContextOf(g), view, fill);
}

}  // namespace

void SetIntegerArrayReader(IntegerArrayReader reader) { gArrayReader = reader; }

ObjectHeader* NewGraphicsObject(DrawingContext* dc) {
    ObjectHeader* g = CreateInstance(GraphicsDefinition());
    if (!g) {
        DrawingContextDestroy(dc);
        return nullptr;
    }
    *reinterpret_cast<DrawingContext**>(reinterpret_cast<uint8_t*>(g) + kGraphicsContextAt) = dc;
    return g;
}

DrawingContext* GraphicsDrawingContext(ObjectHeader* graphics) { return ContextOf(graphics); }

void GraphicsPolygon(DrawingContext* dc, const IntegerArrayView& a, bool fill) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    int32_t elements = a.count - 1;  // element 0 is not used
    if (!hdc || !a.values || elements < 1) return;
    int32_t n = (elements + 1) / 2;
    auto* pts = static_cast<POINT*>(PoolAlloc(int32_t(sizeof(POINT)) * (n + 1), false));
    for (int32_t i = 0; i < n; ++i) {
        int32_t xi = 1 + 2 * i, yi = xi + 1;
        pts[i].x = DeviceX(dc, a.values[xi]);
        pts[i].y = DeviceY(dc, yi < a.count ? a.values[yi] : 0);
    }
    COLORREF c = ColourRef(dc->fore);
    if (fill) {
        GdiHandle<HPEN> pen(CreatePen(PS_SOLID, 1, c));
        GdiHandle<HBRUSH> brush(CreateSolidBrush(c));
        SelectedObject p(hdc, pen.Get()), b(hdc, brush.Get());
        ::Polygon(hdc, pts, n);
    } else {
        int32_t m = n;
        if (elements >= 3) pts[m++] = pts[0];
        GdiHandle<HPEN> pen(NewPen(dc, (dc->penWidth + dc->penHeight) / 2));
        SelectedObject p(hdc, pen.Get());
        Polyline(hdc, pts, m);
        if (dc->penWidth == 1 && dc->penHeight == 1) SetPixelV(hdc, pts[m - 1].x, pts[m - 1].y, c);
    }
    dc->drawnOn = true;
    PoolFree(pts, int32_t(sizeof(POINT)) * (n + 1));
}

// ---- Entry points -----------------------------------------------------------------------------

extern "C" {

int32_t __cdecl RuntimeRGB(int32_t red, int32_t green, int32_t blue) {
    auto clamp = [](int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    return clamp(red) * 65536 + clamp(green) * 256 + clamp(blue);
}

int32_t __cdecl graphicsForeColorGetter(ObjectHeader* g, int32_t) {
    DrawingContext* dc = ContextOf(g);
    return dc ? int32_t(ColourValue(dc->fore)) : 0;
}
void __cdecl graphicsForeColorSetter(ObjectHeader* g, int32_t, int32_t color) {
    DrawingContextSetForeColor(ContextOf(g), uint32_t(color));
}
int32_t __cdecl graphicsWidthGetter(ObjectHeader* g, int32_t) { return DrawingContextWidth(ContextOf(g)); }
int32_t __cdecl graphicsHeightGetter(ObjectHeader* g, int32_t) { return DrawingContextHeight(ContextOf(g)); }

StringValue* __cdecl graphicsTextFontGetter(ObjectHeader* g, int32_t) {
    DrawingContext* dc = ContextOf(g);
    if (!dc) return nullptr;
    return dc->fontName ? StringRetain(dc->fontName) : StringMakeC("System");
}
void __cdecl graphicsTextFontSetter(ObjectHeader* g, int32_t, StringValue* name) {
    DrawingContext* dc = ContextOf(g);
    if (!dc) return;
    DrawingContextSetFont(dc, name, dc->textSize, dc->style & kStyleBold, dc->style & kStyleItalic,
                          dc->style & kStyleUnderline);
}
int32_t __cdecl graphicsTextSizeGetter(ObjectHeader* g, int32_t) {
    DrawingContext* dc = ContextOf(g);
    return dc ? dc->textSize : 0;
}
void __cdecl graphicsTextSizeSetter(ObjectHeader* g, int32_t, int32_t size) {
    DrawingContext* dc = ContextOf(g);
    if (!dc || dc->textSize == size) return;
    dc->textSize = size;
    dc->fontValid = false;
}
int32_t __cdecl graphicsBoldGetter(ObjectHeader* g, int32_t) { return StyleBit(g, kStyleBold); }
void __cdecl graphicsBoldSetter(ObjectHeader* g, int32_t, int32_t v) { SetStyleBit(g, kStyleBold, v); }
int32_t __cdecl graphicsItalicGetter(ObjectHeader* g, int32_t) { return StyleBit(g, kStyleItalic); }
void __cdecl graphicsItalicSetter(ObjectHeader* g, int32_t, int32_t v) { SetStyleBit(g, kStyleItalic, v); }
int32_t __cdecl graphicsUnderlineGetter(ObjectHeader* g, int32_t) { return StyleBit(g, kStyleUnderline); }
void __cdecl graphicsUnderlineSetter(ObjectHeader* g, int32_t, int32_t v) { SetStyleBit(g, kStyleUnderline, v); }
int32_t __cdecl graphicsPenWidthGetter(ObjectHeader* g, int32_t) {
    DrawingContext* dc = ContextOf(g);
    return dc ? dc->penWidth : 0;
}
void __cdecl graphicsPenWidthSetter(ObjectHeader* g, int32_t, int32_t v) {
    if (DrawingContext* dc = ContextOf(g)) dc->penWidth = v;
}
int32_t __cdecl graphicsPenHeightGetter(ObjectHeader* g, int32_t) {
    DrawingContext* dc = ContextOf(g);
    return dc ? dc->penHeight : 0;
}
void __cdecl graphicsPenHeightSetter(ObjectHeader* g, int32_t, int32_t v) {
    if (DrawingContext* dc = ContextOf(g)) dc->penHeight = v;
}
int32_t __cdecl graphicsUseOldRendererGetter(ObjectHeader*, int32_t) { return 1; }
void __cdecl graphicsUseOldRendererSetter(ObjectHeader*, int32_t, int32_t) {}

void __cdecl RuntimeGraphicsDrawLine(ObjectHeader* g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    if (x2 < x1) {
        int32_t t = x1; x1 = x2; x2 = t;
        t = y1; y1 = y2; y2 = t;
    }
    COLORREF c = ColourRef(dc->fore);
    int32_t sx = dc->penWidth / 2, sy = dc->penHeight / 2;
    int32_t ax = DeviceX(dc, int64_t(x1) + sx), ay = DeviceY(dc, int64_t(y1) + sy);
    int32_t bx = DeviceX(dc, int64_t(x2) + sx), by = DeviceY(dc, int64_t(y2) + sy);
    GdiHandle<HPEN> pen(NewPen(dc, (dc->penWidth + dc->penHeight) / 2));
    SelectedObject p(hdc, pen.Get());
    MoveToEx(hdc, ax, ay, nullptr);
    LineTo(hdc, bx, by);
    if (dc->penWidth == 1 && dc->penHeight == 1) SetPixelV(hdc, bx, by, c);
    dc->penPosition = POINT{bx, by};
    dc->drawnOn = true;
}

void __cdecl RuntimeGraphicsFillRect(ObjectHeader* g, int32_t x, int32_t y, int32_t width, int32_t height) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    RECT r = DeviceRect(dc, x, y, width, height);
    GdiHandle<HBRUSH> brush(CreateSolidBrush(ColourRef(dc->fore)));
    FillRect(hdc, &r, brush.Get());
    dc->drawnOn = true;
}

void __cdecl RuntimeGraphicsClearRect(ObjectHeader* g, int32_t x, int32_t y, int32_t width, int32_t height) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    RECT r = DeviceRect(dc, x, y, width, height);
    FillRect(hdc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));  // a picture clears to white
}

void __cdecl RuntimeGraphicsDrawRect(ObjectHeader* g, int32_t x, int32_t y, int32_t w, int32_t h) {
    RectangleCall(g, x, y, w, h, false, 0);
}
void __cdecl RuntimeGraphicsDrawOval(ObjectHeader* g, int32_t x, int32_t y, int32_t w, int32_t h) {
    RectangleCall(g, x, y, w, h, false, 1);
}
void __cdecl RuntimeGraphicsFillOval(ObjectHeader* g, int32_t x, int32_t y, int32_t w, int32_t h) {
    RectangleCall(g, x, y, w, h, true, 1);
}
void __cdecl RuntimeGraphicsDrawRoundRect(ObjectHeader* g, int32_t x, int32_t y, int32_t w, int32_t h, int32_t aw,
                                          int32_t ah) {
    RectangleCall(g, x, y, w, h, false, 2, aw, ah);
}
void __cdecl RuntimeGraphicsFillRoundRect(ObjectHeader* g, int32_t x, int32_t y, int32_t w, int32_t h, int32_t aw,
                                          int32_t ah) {
    RectangleCall(g, x, y, w, h, true, 2, aw, ah);
}

void __cdecl RuntimeGraphicsDrawString(ObjectHeader* g, StringValue* text, int32_t x, int32_t y, int32_t wrapWidth) {
    DrawingContext* dc = ContextOf(g);
    if (!g || !TextSurface(dc)) return;
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !text) return;
    int32_t ascent = DrawingContextAscent(dc);
    int32_t left = DeviceX(dc, x);
    RECT r{left, DeviceY(dc, int64_t(y) - ascent), ClampDevice(int64_t(left) + (wrapWidth ? wrapWidth : 30000)), 32767};
    WideText w(text);
    COLORREF previous = SetTextColor(hdc, ColourRef(dc->fore));
    SetTextAlign(hdc, TA_TOP | TA_LEFT);
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, w.units, w.count, &r, DT_WORDBREAK | DT_NOPREFIX);
    SetTextAlign(hdc, TA_BASELINE | TA_LEFT);
    SetTextColor(hdc, previous);
    dc->drawnOn = true;
}

void __cdecl RuntimeGraphicsDrawObjectXY(ObjectHeader* g, ObjectHeader* object, int32_t deltaX, int32_t deltaY) {
    if (!g) return;
    DrawShapeTree(ContextOf(g), object, deltaX, deltaY);
}

// The entry points check the surface themselves, so a report names this unit.
int32_t __cdecl RuntimeGraphicsStringWidth(ObjectHeader* g, StringValue* text) {
    return g && TextSurface(ContextOf(g)) ? DrawingContextStringWidth(ContextOf(g), text) : 0;
}

int32_t __cdecl RuntimeGraphicsStringHeight(ObjectHeader* g, StringValue* text, int32_t wrapWidth) {
    DrawingContext* dc = ContextOf(g);
    if (!g || !TextSurface(dc)) return 0;
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !text) return 0;
    DrawingContextEnsureFont(dc);
    WideText w(text);
    RECT r{0, 0, wrapWidth, 32767};
    DrawTextW(hdc, w.units, w.count, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
    return r.bottom - r.top;
}

int32_t __cdecl RuntimeGraphicsTextHeight(ObjectHeader* g) {
    return g && TextSurface(ContextOf(g)) ? DrawingContextTextHeight(ContextOf(g)) : 0;
}
int32_t __cdecl RuntimeGraphicsTextAscent(ObjectHeader* g) {
    return g && TextSurface(ContextOf(g)) ? DrawingContextAscent(ContextOf(g)) : 0;
}

void __cdecl graphicsDrawStopIcon(ObjectHeader* g, int32_t x, int32_t y) { Icon(g, x, y, IDI_HAND); }
void __cdecl graphicsDrawNoteIcon(ObjectHeader* g, int32_t x, int32_t y) { Icon(g, x, y, IDI_ASTERISK); }
void __cdecl graphicsDrawCautionIcon(ObjectHeader* g, int32_t x, int32_t y) { Icon(g, x, y, IDI_EXCLAMATION); }

int32_t __cdecl graphicsPixelGetter(ObjectHeader* g, int32_t x, int32_t y) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return 0;
    COLORREF c = GetPixel(hdc, DeviceX(dc, x), DeviceY(dc, y));
    if (c == CLR_INVALID) return 0;
    return int32_t(GetRValue(c)) << 16 | int32_t(GetGValue(c)) << 8 | GetBValue(c);
}

void __cdecl graphicsPixelSetter(ObjectHeader* g, int32_t x, int32_t y, int32_t color) {
    DrawingContext* dc = ContextOf(g);
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    SetPixelV(hdc, DeviceX(dc, x), DeviceY(dc, y), ColourRef(ColourFromValue(uint32_t(color))));
    dc->drawnOn = true;
}

void __cdecl graphicsDrawPolygon(ObjectHeader* g, ObjectHeader* points) { Polygon(g, points, false); }
void __cdecl graphicsFillPolygon(ObjectHeader* g, ObjectHeader* points) { Polygon(g, points, true); }
void __cdecl graphicsNextPage(ObjectHeader*) {}  // printing only

}  // extern "C"

// ---- The class ---------------------------------------------------------------------------------

namespace {

const TypeDescriptor kIntegerArrayType{kTypeArray, &kIntegerType, nullptr, nullptr, nullptr, nullptr};
const ClassTypeRef kPictureType = ORVANE_CLASS_TYPE("Picture");
const ClassTypeRef kObject2DType = ORVANE_CLASS_TYPE("Object2D");

PropertyRow kGraphicsProperties[] = {
    {0, "ForeColor", &kColorType, Fn(graphicsForeColorGetter), "graphicsForeColorGetter", Fn(graphicsForeColorSetter), "graphicsForeColorSetter", 0},
    {0, "Width", &kIntegerType, Fn(graphicsWidthGetter), "graphicsWidthGetter", nullptr, nullptr, 0},
    {0, "Height", &kIntegerType, Fn(graphicsHeightGetter), "graphicsHeightGetter", nullptr, nullptr, 0},
    {0, "TextFont", &kStringType, Fn(graphicsTextFontGetter), "graphicsTextFontGetter", Fn(graphicsTextFontSetter), "graphicsTextFontSetter", 0},
    {0, "TextSize", &kIntegerType, Fn(graphicsTextSizeGetter), "graphicsTextSizeGetter", Fn(graphicsTextSizeSetter), "graphicsTextSizeSetter", 0},
    {0, "Copies", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", kGraphicsCopiesAt},
    {0, "FirstPage", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", kGraphicsFirstPageAt},
    {0, "LastPage", &kIntegerType, nullptr, "intGetter", nullptr, nullptr, kGraphicsLastPageAt},
    {0, "Bold", &kBooleanType, Fn(graphicsBoldGetter), "graphicsBoldGetter", Fn(graphicsBoldSetter), "graphicsBoldSetter", 0},
    {0, "Italic", &kBooleanType, Fn(graphicsItalicGetter), "graphicsItalicGetter", Fn(graphicsItalicSetter), "graphicsItalicSetter", 0},
    {0, "Underline", &kBooleanType, Fn(graphicsUnderlineGetter), "graphicsUnderlineGetter", Fn(graphicsUnderlineSetter), "graphicsUnderlineSetter", 0},
    {0, "PenWidth", &kIntegerType, Fn(graphicsPenWidthGetter), "graphicsPenWidthGetter", Fn(graphicsPenWidthSetter), "graphicsPenWidthSetter", 0},
    {0, "PenHeight", &kIntegerType, Fn(graphicsPenHeightGetter), "graphicsPenHeightGetter", Fn(graphicsPenHeightSetter), "graphicsPenHeightSetter", 0},
    {0, "UseOldRenderer", &kBooleanType, Fn(graphicsUseOldRendererGetter), "graphicsUseOldRendererGetter", Fn(graphicsUseOldRendererSetter), "graphicsUseOldRendererSetter", 0},
};

#define P(name, type) {name, type, 0, {0, 0, 0}, {0, 0, 0, 0}}
const ParameterRecord kRectParams[] = {P("x", &kIntegerType), P("y", &kIntegerType), P("width", &kIntegerType), P("height", &kIntegerType)};
const ParameterRecord kRoundRectParams[] = {P("x", &kIntegerType), P("y", &kIntegerType), P("width", &kIntegerType), P("height", &kIntegerType), P("arcWidth", &kIntegerType), P("arcHeight", &kIntegerType)};
const ParameterRecord kLineParams[] = {P("x1", &kIntegerType), P("y1", &kIntegerType), P("x2", &kIntegerType), P("y2", &kIntegerType)};
const ParameterRecord kPictureParams[] = {P("image", &kPictureType.header), P("x", &kIntegerType), P("y", &kIntegerType), P("w1", &kIntegerType), P("h1", &kIntegerType), P("sx", &kIntegerType), P("sy", &kIntegerType), P("w2", &kIntegerType), P("h2", &kIntegerType)};
const ParameterRecord kStringParams[] = {P("text", &kStringType), P("x", &kIntegerType), P("y", &kIntegerType), P("wrapWidth", &kIntegerType)};
const ParameterRecord kTextParams[] = {P("text", &kStringType)};
const ParameterRecord kTextWrapParams[] = {P("text", &kStringType), P("wrapWidth", &kIntegerType)};
const ParameterRecord kPointParams[] = {P("x", &kIntegerType), P("y", &kIntegerType)};
const ParameterRecord kPolygonParams[] = {P("points", &kIntegerArrayType)};
const ParameterRecord kObjectParams[] = {P("object2D", &kObject2DType.header), P("deltaX", &kIntegerType), P("deltaY", &kIntegerType)};
#undef P

#define M(name, result, params, fn) {name, result, params, sizeof(params) / sizeof(params[0]), Fn(fn), #fn, {}, nullptr, nullptr, {}, 0}
#define M0(name, result, fn) {name, result, nullptr, 0, Fn(fn), #fn, {}, nullptr, nullptr, {}, 0}
MethodRow kGraphicsMethods[] = {
    M("ClearRect", nullptr, kRectParams, RuntimeGraphicsClearRect),
    M("DrawLine", nullptr, kLineParams, RuntimeGraphicsDrawLine),
    M("DrawOval", nullptr, kRectParams, RuntimeGraphicsDrawOval),
    M("DrawRect", nullptr, kRectParams, RuntimeGraphicsDrawRect),
    M("DrawRoundRect", nullptr, kRoundRectParams, RuntimeGraphicsDrawRoundRect),
    M("FillOval", nullptr, kRectParams, RuntimeGraphicsFillOval),
    M("FillRect", nullptr, kRectParams, RuntimeGraphicsFillRect),
    M("FillRoundRect", nullptr, kRoundRectParams, RuntimeGraphicsFillRoundRect),
    M("DrawPicture", nullptr, kPictureParams, RuntimeGraphicsDrawPicture),
    M("DrawString", nullptr, kStringParams, RuntimeGraphicsDrawString),
    M("DrawObject", nullptr, kObjectParams, RuntimeGraphicsDrawObjectXY),
    M("StringWidth", &kIntegerType, kTextParams, RuntimeGraphicsStringWidth),
    M("StringHeight", &kIntegerType, kTextWrapParams, RuntimeGraphicsStringHeight),
    M0("TextHeight", &kIntegerType, RuntimeGraphicsTextHeight),
    M0("TextAscent", &kIntegerType, RuntimeGraphicsTextAscent),
    M0("NextPage", nullptr, graphicsNextPage),
    M("DrawStopIcon", nullptr, kPointParams, graphicsDrawStopIcon),
    M("DrawNoteIcon", nullptr, kPointParams, graphicsDrawNoteIcon),
    M("DrawCautionIcon", nullptr, kPointParams, graphicsDrawCautionIcon),
    {"Pixel", &kColorType, kPointParams, 2, Fn(graphicsPixelGetter), "graphicsPixelGetter", {}, Fn(graphicsPixelSetter), "graphicsPixelSetter", {}, 0},
    M("DrawPolygon", nullptr, kPolygonParams, graphicsDrawPolygon),
    M("FillPolygon", nullptr, kPolygonParams, graphicsFillPolygon),
};
#undef M
#undef M0

}  // namespace

ObjectDefinition* GraphicsDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Graphics", nullptr, kGraphicsInstanceSize, nullptr, FinalizeGraphics, ORVANE_ROWS(kGraphicsProperties),
        ORVANE_ROWS(kGraphicsMethods), ORVANE_NO_ROWS});
    return d;
}
