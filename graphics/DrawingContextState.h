// The fields of a drawing context, shared by the units of Graphics.
#pragma once

#include <windows.h>

#include <cstdint>

#include "graphics/DrawingContext.h"
#include "startup/Win32Owners.h"

// Surfaces: a picture's pixel map, a window's device context lent for a
// paint, or a window whose device context is taken while current.
enum SurfaceKind : uint8_t { kSurfaceNone = 0, kSurfacePixelMap = 1, kSurfacePane = 2, kSurfaceWindow = 3 };

// A colour as three 16-bit components.
struct Colour16 {
    uint16_t red, green, blue;
};
inline Colour16 ColourFromValue(uint32_t v) {
    return Colour16{uint16_t(((v >> 16) & 0xFF) * 257), uint16_t(((v >> 8) & 0xFF) * 257), uint16_t((v & 0xFF) * 257)};
}
inline uint32_t ColourValue(Colour16 c) { return uint32_t(c.red >> 8) << 16 | uint32_t(c.green >> 8) << 8 | (c.blue >> 8); }
inline COLORREF ColourRef(Colour16 c) { return RGB(c.red >> 8, c.green >> 8, c.blue >> 8); }

struct DrawingContext {
    SurfaceKind kind = kSurfaceNone;
    PixelMap* map = nullptr;
    bool ownsSurface = false;
    HDC deviceDC = nullptr;  // a pane's lent device context
    HWND window = nullptr;   // a window surface
    WindowDC windowDC;       // its device context while current
    int32_t deviceWidth = 0, deviceHeight = 0;
    HDC dc = nullptr;            // while current
    CreatedDC memoryDC;          // a pixel map's device context while current
    SelectedObject surfaceBitmap;  // the pixel map selected into it
    GdiHandle<HRGN> savedClip;   // the device context's own clip when it became current
    HFONT font = nullptr;        // from the font cache
    int32_t horizontalResolution = 72, verticalResolution = 72;
    StringValue* fontName = nullptr;  // one reference; nil until set means "System"
    int32_t textSize = 12;
    uint32_t style = 0;
    int32_t penWidth = 1, penHeight = 1;
    POINT penPosition{0, 0};
    Colour16 fore{0, 0, 0};
    Colour16 back{65535, 65535, 65535};
    bool fontValid = false;
    bool drawnOn = false;
    int32_t originX = 0, originY = 0;
    bool hasPattern = false;
    uint8_t pattern[8] = {};
    bool hasClip = false;
    RECT clip{0, 0, 0, 0};
    bool metricsValid = false;
    TEXTMETRICW metrics{};
};

constexpr int64_t kDeviceLimit = 0x3FFFFFF;  // well inside the range GDI accepts
inline int32_t ClampDevice(int64_t v) {
    return int32_t(v < -kDeviceLimit ? -kDeviceLimit : v > kDeviceLimit ? kDeviceLimit : v);
}
// Graphics coordinates to device coordinates.
inline int32_t DeviceX(const DrawingContext* dc, int64_t x) { return ClampDevice(x - dc->originX); }
inline int32_t DeviceY(const DrawingContext* dc, int64_t y) { return ClampDevice(y - dc->originY); }
// The rectangle (x, y, x + w, y + h) in device coordinates.
RECT DeviceRect(const DrawingContext* dc, int32_t x, int32_t y, int32_t w, int32_t h);

// Creates the font when needed and selects it when current.
void DrawingContextEnsureFont(DrawingContext* dc);
const TEXTMETRICW* DrawingContextMetrics(DrawingContext* dc);
// Text of a string value as UTF-16 (nil stays empty).
struct WideText {
    wchar_t* units = nullptr;
    int32_t count = 0;
    WideText(StringValue* s);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
};
