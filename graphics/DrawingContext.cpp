// Drawing contexts: the current-context rule, state, the shape primitives,
// text and pixel copies.
#include "graphics/DrawingContext.h"

#include <cmath>
#include <new>
#include <utility>

#include "graphics/DrawingContextState.h"
#include "graphics/FontCache.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {

DrawingContext* gCurrent = nullptr;
volatile LONG gGuardOwner = 0;
int32_t gGuardDepth = 0;

// Serialises making contexts current; nests on the owning thread.
class CurrentContextGuard {
public:
    CurrentContextGuard() {
        LONG self = LONG(GetCurrentThreadId());
        if (gGuardOwner != self)
            while (InterlockedCompareExchange(&gGuardOwner, self, 0) != 0) Sleep(0);
        ++gGuardDepth;
    }
    ~CurrentContextGuard() {
        if (--gGuardDepth == 0) InterlockedExchange(&gGuardOwner, 0);
    }
    CurrentContextGuard(const CurrentContextGuard&) = delete;
    CurrentContextGuard& operator=(const CurrentContextGuard&) = delete;
};

// Text needs a surface; without one it is an internal error.
bool TextSurface(DrawingContext* dc) {
    bool ok = dc && dc->kind != kSurfaceNone;
    RUNTIME_ASSERT(ok && "text on a Graphics without a surface");
    return ok;
}

void ReleaseCurrent() {
    DrawingContext* dc = gCurrent;
    gCurrent = nullptr;
    if (!dc || !dc->dc) return;
    SelectClipRgn(dc->dc, dc->savedClip.Get());  // nil gives the whole surface back
    dc->savedClip.Reset();
    SelectObject(dc->dc, GetStockObject(SYSTEM_FONT));
    dc->surfaceBitmap.Reset();  // before its device context goes
    dc->memoryDC.Reset();
    dc->windowDC.Reset();
    dc->dc = nullptr;
}

void ApplyClip(DrawingContext* dc) {
    if (!dc->dc) return;
    if (!dc->hasClip) {
        SelectClipRgn(dc->dc, dc->savedClip.Get());
        return;
    }
    RECT r = dc->clip;
    GdiHandle<HRGN> region(CreateRectRgn(r.left + DrawingContextSurfaceLeft(dc), r.top + DrawingContextSurfaceTop(dc),
                                         r.right + DrawingContextSurfaceLeft(dc), r.bottom + DrawingContextSurfaceTop(dc)));
    if (dc->savedClip.Get()) CombineRgn(region.Get(), region.Get(), dc->savedClip.Get(), RGN_AND);
    SelectClipRgn(dc->dc, region.Get());
}

POINT WindowClientSize(HWND window) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(window, &r);
    return POINT{r.right, r.bottom};
}

}  // namespace

RECT DeviceRect(const DrawingContext* dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    return RECT{DeviceX(dc, x), DeviceY(dc, y), DeviceX(dc, int64_t(x) + w), DeviceY(dc, int64_t(y) + h)};
}

int32_t DeviceCoordinate(double value) {
    if (std::isnan(value)) return 0;
    if (value <= double(-kDeviceLimit)) return int32_t(-kDeviceLimit);
    if (value >= double(kDeviceLimit)) return int32_t(kDeviceLimit);
    return int32_t(value);
}

DrawingContext* DrawingContextCreate(PixelMap* map, bool ownsSurface) {
    void* block = PoolAlloc(sizeof(DrawingContext), false);
    auto* dc = new (block) DrawingContext;
    dc->kind = map ? kSurfacePixelMap : kSurfaceNone;
    dc->map = map;
    dc->ownsSurface = ownsSurface;
    return dc;
}

DrawingContext* DrawingContextCreateOnDevice(HDC device, int32_t width, int32_t height) {
    DrawingContext* dc = DrawingContextCreate(nullptr);
    if (!device) return dc;
    dc->kind = kSurfacePane;
    dc->deviceDC = device;
    dc->deviceWidth = width;
    dc->deviceHeight = height;
    return dc;
}

DrawingContext* DrawingContextCreateOnWindow(HWND window) {
    DrawingContext* dc = DrawingContextCreate(nullptr);
    if (!window) return dc;
    dc->kind = kSurfaceWindow;
    dc->window = window;
    return dc;
}

void DrawingContextDetachSurface(DrawingContext* dc) {
    if (!dc) return;
    CurrentContextGuard guard;
    if (gCurrent == dc) ReleaseCurrent();
    if (dc->ownsSurface && dc->map) PixelMapFree(dc->map);
    dc->map = nullptr;
    dc->deviceDC = nullptr;
    dc->window = nullptr;
    dc->kind = kSurfaceNone;
    dc->ownsSurface = false;
}

void DrawingContextDestroy(DrawingContext* dc) {
    if (!dc) return;
    DrawingContextDetachSurface(dc);
    FontCacheRelease(dc->font);
    StringRelease(dc->fontName);
    dc->~DrawingContext();
    PoolFree(dc, sizeof(DrawingContext));
}

DrawingContext* DrawingContextCurrent() { return gCurrent; }

void DrawingContextReleaseCurrent() {
    CurrentContextGuard guard;
    ReleaseCurrent();
}

HDC DrawingContextMakeCurrent(DrawingContext* dc) {
    if (!dc) return nullptr;
    CurrentContextGuard guard;
    if (gCurrent == dc && dc->dc) return dc->dc;
    ReleaseCurrent();
    HDC hdc = nullptr;
    if (dc->kind == kSurfacePane && dc->deviceDC) {
        hdc = dc->deviceDC;
    } else if (dc->kind == kSurfaceWindow) {
        if (!IsWindow(dc->window)) return nullptr;
        dc->windowDC = WindowDC(dc->window);
        hdc = dc->windowDC.Get();
        if (!hdc) return nullptr;
    } else {
        if (dc->kind != kSurfacePixelMap || !dc->map || !dc->map->bitmap) return nullptr;
        hdc = CreateCompatibleDC(nullptr);
        if (!hdc) return nullptr;
        dc->memoryDC.Reset(hdc);
        dc->surfaceBitmap = SelectedObject(hdc, dc->map->bitmap);
    }
    dc->dc = hdc;
    gCurrent = dc;
    GdiHandle<HRGN> saved(CreateRectRgn(0, 0, 0, 0));
    if (GetClipRgn(hdc, saved.Get()) == 1) dc->savedClip = std::move(saved);
    SetBkMode(hdc, TRANSPARENT);
    DrawingContextEnsureFont(dc);
    if (dc->font) SelectObject(hdc, dc->font);
    ApplyClip(dc);
    return hdc;
}

void DrawingContextEnsureFont(DrawingContext* dc) {
    if (dc->fontValid && dc->font) return;
    HFONT old = dc->font;
    StringHandle system("System");
    dc->font = FontCacheAcquire(dc->fontName ? dc->fontName : system.Get(), dc->textSize, dc->style);
    dc->fontValid = true;
    dc->metricsValid = false;
    if (dc->dc && dc->font) SelectObject(dc->dc, dc->font);
    FontCacheRelease(old);
}

const TEXTMETRICW* DrawingContextMetrics(DrawingContext* dc) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    DrawingContextEnsureFont(dc);
    if (!dc->metricsValid && hdc && GetTextMetricsW(hdc, &dc->metrics)) dc->metricsValid = true;
    return dc->metricsValid ? &dc->metrics : nullptr;
}

void DrawingContextSetClip(DrawingContext* dc, const RECT* clip) {
    if (!dc) return;
    dc->hasClip = clip != nullptr;
    if (clip) dc->clip = *clip;
    if (gCurrent == dc) ApplyClip(dc);
}

int32_t DrawingContextWidth(DrawingContext* dc) {
    if (!dc) return 0;
    if (dc->kind == kSurfaceWindow) return WindowClientSize(dc->window).x;
    return dc->map ? dc->map->width : dc->kind == kSurfacePane ? dc->deviceWidth : 0;
}
int32_t DrawingContextHeight(DrawingContext* dc) {
    if (!dc) return 0;
    if (dc->kind == kSurfaceWindow) return WindowClientSize(dc->window).y;
    return dc->map ? dc->map->height : dc->kind == kSurfacePane ? dc->deviceHeight : 0;
}
int32_t DrawingContextSurfaceLeft(DrawingContext* dc) { return 0; }  // pixel maps start at (0, 0)
int32_t DrawingContextSurfaceTop(DrawingContext* dc) { return 0; }

// ---- State ----------------------------------------------------------------------

void DrawingContextSetForeColor(DrawingContext* dc, uint32_t color) {
    if (dc) dc->fore = ColourFromValue(color);
}
void DrawingContextSetPen(DrawingContext* dc, int32_t width, int32_t height) {
    if (!dc) return;
    dc->penWidth = width;
    dc->penHeight = height;
}
void DrawingContextSetOrigin(DrawingContext* dc, int32_t x, int32_t y) {
    if (!dc) return;
    dc->originX = x;
    dc->originY = y;
}
void DrawingContextSetFont(DrawingContext* dc, StringValue* name, int32_t size, bool bold, bool italic,
                           bool underline) {
    if (!dc) return;
    uint32_t style = (bold ? uint32_t(kStyleBold) : 0u) | (italic ? uint32_t(kStyleItalic) : 0u) | (underline ? uint32_t(kStyleUnderline) : 0u);
    if (name != dc->fontName) {
        StringRetain(name);
        StringRelease(dc->fontName);
        dc->fontName = name;
        dc->fontValid = false;
    }
    if (size == 0) size = 12;
    if (size != dc->textSize || style != dc->style) dc->fontValid = false;
    dc->textSize = size;
    dc->style = style;
}

void DrawingContextSaveState(DrawingContext* dc, DrawingState* out) {
    if (!dc || !out) return;
    *out = DrawingState{ColourValue(dc->fore), dc->originX, dc->originY, dc->penWidth, dc->penHeight,
                        StringRetain(dc->fontName), dc->textSize, (dc->style & kStyleBold) != 0,
                        (dc->style & kStyleItalic) != 0, (dc->style & kStyleUnderline) != 0};
}

void DrawingContextRestoreState(DrawingContext* dc, DrawingState* saved) {
    if (!saved) return;
    if (dc) {
        DrawingContextSetForeColor(dc, saved->foreColor);
        DrawingContextSetOrigin(dc, saved->originX, saved->originY);
        DrawingContextSetPen(dc, saved->penWidth, saved->penHeight);
        DrawingContextSetFont(dc, saved->fontName, saved->textSize, saved->bold, saved->italic, saved->underline);
    }
    StringRelease(saved->fontName);
    saved->fontName = nullptr;
}

// ---- Primitives ----------------------------------------------------------------------

void DrawingContextFillPolygon(DrawingContext* dc, const POINT* points, int32_t count) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !points || count < 1) return;
    COLORREF c = ColourRef(dc->fore);
    GdiHandle<HPEN> pen(CreatePen(PS_SOLID, 1, c));
    GdiHandle<HBRUSH> brush(CreateSolidBrush(c));
    SelectedObject p(hdc, pen.Get()), b(hdc, brush.Get());
    Polygon(hdc, points, count);
    dc->drawnOn = true;
}

void DrawingContextMoveTo(DrawingContext* dc, int32_t x, int32_t y) {
    if (!dc) return;
    dc->penPosition = POINT{DeviceX(dc, x), DeviceY(dc, y)};
}

void DrawingContextLineTo(DrawingContext* dc, int32_t x, int32_t y) {
    if (!dc) return;
    POINT from = dc->penPosition;
    POINT to{DeviceX(dc, x), DeviceY(dc, y)};
    dc->penPosition = to;
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    int32_t sx = dc->penWidth / 2, sy = dc->penHeight / 2;
    GdiHandle<HPEN> pen(CreatePen(PS_SOLID, (dc->penWidth + dc->penHeight) / 2, ColourRef(dc->fore)));
    SelectedObject p(hdc, pen.Get());
    MoveToEx(hdc, from.x + sx, from.y + sy, nullptr);
    LineTo(hdc, to.x + sx, to.y + sy);
    dc->drawnOn = true;
}

void DrawingContextFillEllipse(DrawingContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    COLORREF c = ColourRef(dc->fore);
    GdiHandle<HPEN> pen(CreatePen(PS_SOLID, 1, c));
    GdiHandle<HBRUSH> brush(CreateSolidBrush(c));
    SelectedObject p(hdc, pen.Get()), b(hdc, brush.Get());
    Ellipse(hdc, DeviceX(dc, left), DeviceY(dc, top), DeviceX(dc, right), DeviceY(dc, bottom));
    dc->drawnOn = true;
}

void DrawingContextFrameEllipse(DrawingContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc) return;
    GdiHandle<HPEN> pen(CreatePen(PS_SOLID, dc->penWidth, ColourRef(dc->fore)));
    SelectedObject p(hdc, pen.Get()), b(hdc, GetStockObject(NULL_BRUSH));
    Ellipse(hdc, DeviceX(dc, left), DeviceY(dc, top), DeviceX(dc, right), DeviceY(dc, bottom));
    dc->drawnOn = true;
}

// ---- Text for the renderer --------------------------------------------------------------

void DrawingContextTextAt(DrawingContext* dc, StringValue* text, int32_t x, int32_t y, const RECT* clip) {
    if (!TextSurface(dc)) return;
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !text) return;
    DrawingContextEnsureFont(dc);
    WideText w(text);
    COLORREF previous = SetTextColor(hdc, ColourRef(dc->fore));
    UINT align = SetTextAlign(hdc, TA_BASELINE | TA_LEFT);
    int32_t px = DeviceX(dc, x), py = DeviceY(dc, y);
    if (clip) ExtTextOutW(hdc, px, py, ETO_CLIPPED, clip, w.units, UINT(w.count), nullptr);
    else TextOutW(hdc, px, py, w.units, w.count);
    SetTextAlign(hdc, align);
    SetTextColor(hdc, previous);
    dc->drawnOn = true;
}

int32_t DrawingContextStringWidth(DrawingContext* dc, StringValue* text) {
    if (!TextSurface(dc)) return 0;
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !text) return 0;
    DrawingContextEnsureFont(dc);
    WideText w(text);
    SIZE size{0, 0};
    GetTextExtentPoint32W(hdc, w.units, w.count, &size);
    return size.cx;
}

int32_t DrawingContextAscent(DrawingContext* dc) {
    if (!TextSurface(dc)) return 0;
    const TEXTMETRICW* m = DrawingContextMetrics(dc);
    return m ? m->tmAscent : 0;
}

int32_t DrawingContextTextHeight(DrawingContext* dc) {
    if (!TextSurface(dc)) return 0;
    const TEXTMETRICW* m = DrawingContextMetrics(dc);
    return m ? m->tmHeight : 0;
}

// ---- Copies -----------------------------------------------------------------------------

void DrawingContextCopyPixels(DrawingContext* dc, const PixelMap& src, const PixelMap* mask, int32_t sx, int32_t sy,
                              int32_t sw, int32_t sh, int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !src.bitmap || dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
    dx = DeviceX(dc, dx);
    dy = DeviceY(dc, dy);
    bool same = dc->map == &src;
    MemoryDC source;
    HDC from = same ? hdc : source.Get();
    SelectedObject selected(same ? nullptr : from, src.bitmap);
    SetStretchBltMode(hdc, COLORONCOLOR);
    if (!mask || !mask->bitmap) {
        StretchBlt(hdc, dx, dy, dw, dh, from, sx, sy, sw, sh, SRCCOPY);
        dc->drawnOn = true;
        return;
    }
    // Through the mask: white is transparent, black opaque, grey in between.
    PixelMap* image = PixelMapCreate(dw, dh, 32);
    PixelMap* alpha = PixelMapCreate(dw, dh, 32);
    PixelMap* under = PixelMapCreate(dw, dh, 32);
    if (image->pixels && alpha->pixels && under->pixels) {
        MemoryDC work;
        {
            SelectedObject s(work.Get(), image->bitmap);
            SetStretchBltMode(work.Get(), COLORONCOLOR);
            StretchBlt(work.Get(), 0, 0, dw, dh, from, sx, sy, sw, sh, SRCCOPY);
        }
        {
            MemoryDC maskDC;
            SelectedObject m(maskDC.Get(), mask->bitmap);
            SelectedObject s(work.Get(), alpha->bitmap);
            SetStretchBltMode(work.Get(), COLORONCOLOR);
            StretchBlt(work.Get(), 0, 0, dw, dh, maskDC.Get(), sx, sy, sw, sh, SRCCOPY);
        }
        {
            SelectedObject s(work.Get(), under->bitmap);
            BitBlt(work.Get(), 0, 0, dw, dh, hdc, dx, dy, SRCCOPY);
        }
        GdiFlush();
        for (int64_t i = 0, n = int64_t(dw) * dh; i < n; ++i) {
            uint32_t m = alpha->pixels[i];
            uint32_t a = 255 - (((m >> 16 & 0xFF) + (m >> 8 & 0xFF) + (m & 0xFF)) / 3);
            uint32_t s = image->pixels[i], d = under->pixels[i], out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                uint32_t c = ((s >> shift & 0xFF) * a + (d >> shift & 0xFF) * (255 - a) + 127) / 255;
                out |= c << shift;
            }
            under->pixels[i] = out;
        }
        SelectedObject s(work.Get(), under->bitmap);
        BitBlt(hdc, dx, dy, dw, dh, work.Get(), 0, 0, SRCCOPY);
        dc->drawnOn = true;
    }
    PixelMapFree(image);
    PixelMapFree(alpha);
    PixelMapFree(under);
}

// ---- Text conversion -------------------------------------------------------------------

WideText::WideText(StringValue* s) {
    if (!s || s->length <= 0) return;
    const char* bytes = StringText(s);
    if (s->encoding == kEncodingUTF16) {
        count = s->length / 2;
        units = static_cast<wchar_t*>(PoolAlloc((count + 1) * 2, false));
        CopyMemory(units, bytes, count * 2);
        units[count] = 0;
        return;
    }
    UINT page = s->encoding == kEncodingUTF8 ? CP_UTF8 : CP_ACP;
    StringHandle converted;
    if (s->encoding != kEncodingUTF8 && s->encoding != kEncodingASCII && s->encoding != kEncodingUnknown) {
        converted = StringHandle::Adopt(StringConvert(s, kEncodingUTF8));
        if (!converted.IsEmpty()) {
            bytes = converted.Text();
            page = CP_UTF8;
        }
    }
    int32_t n = converted.IsEmpty() ? s->length : converted.Length();
    count = MultiByteToWideChar(page, 0, bytes, n, nullptr, 0);
    if (count <= 0) {
        count = 0;
        return;
    }
    units = static_cast<wchar_t*>(PoolAlloc((count + 1) * 2, false));
    MultiByteToWideChar(page, 0, bytes, n, units, count);
    units[count] = 0;
}

WideText::~WideText() {
    if (units) PoolFree(units, (count + 1) * 2);
}
