// The drawing context behind every Graphics object, and the primitives the
// shape renderer paints with. Coordinates are Graphics coordinates unless a
// name says device: device = Graphics + surface left/top (- origin, as noted).
#pragma once

#include <windows.h>

#include <cstdint>

#include "graphics/PixelMap.h"
#include "orvane/abi.h"

struct DrawingContext;

// What DrawObject saves and restores around a shape tree.
struct DrawingState {
    uint32_t foreColor;  // colour value 0x00RRGGBB
    int32_t originX, originY;
    int32_t penWidth, penHeight;
    StringValue* fontName;  // one reference while saved
    int32_t textSize;
    bool bold, italic, underline;
};
void DrawingContextSaveState(DrawingContext* dc, DrawingState* out);
// Restores and gives back the saved font name reference.
void DrawingContextRestoreState(DrawingContext* dc, DrawingState* saved);

void DrawingContextSetForeColor(DrawingContext* dc, uint32_t color);
void DrawingContextSetPen(DrawingContext* dc, int32_t width, int32_t height);
void DrawingContextSetOrigin(DrawingContext* dc, int32_t x, int32_t y);
// size 0 takes the default size.
void DrawingContextSetFont(DrawingContext* dc, StringValue* name, int32_t size, bool bold, bool italic,
                           bool underline);

// The surface's left and top in device coordinates.
int32_t DrawingContextSurfaceLeft(DrawingContext* dc);
int32_t DrawingContextSurfaceTop(DrawingContext* dc);

// Polygon with a one-pixel solid pen and a solid brush in the fore colour;
// the points are device coordinates (the origin is not subtracted).
void DrawingContextFillPolygon(DrawingContext* dc, const POINT* devicePoints, int32_t count);
// Device coordinates minus the origin, with the Graphics object's pen.
void DrawingContextMoveTo(DrawingContext* dc, int32_t x, int32_t y);
void DrawingContextLineTo(DrawingContext* dc, int32_t x, int32_t y);
// Ellipse fill (one-pixel pen, solid brush) and frame (null brush, pen as wide
// as the current pen width) in the bounding box, device coordinates minus origin.
void DrawingContextFillEllipse(DrawingContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
void DrawingContextFrameEllipse(DrawingContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Baseline-aligned text in the fore colour; clip may be nil.
void DrawingContextTextAt(DrawingContext* dc, StringValue* text, int32_t x, int32_t y, const RECT* clip);
int32_t DrawingContextStringWidth(DrawingContext* dc, StringValue* text);
int32_t DrawingContextAscent(DrawingContext* dc);
int32_t DrawingContextTextHeight(DrawingContext* dc);

// A context drawing on a pixel map (the renderer's temporary maps, a
// picture's Graphics). Destroying it never frees the map unless it owns it.
DrawingContext* DrawingContextCreate(PixelMap* map, bool ownsSurface = false);
void DrawingContextDestroy(DrawingContext* dc);
// A context drawing on a device context the caller lends (a window's paint)
// of that size; the caller detaches it before the device context goes.
DrawingContext* DrawingContextCreateOnDevice(HDC device, int32_t width, int32_t height);
// A context drawing on the window: its device context is taken when the
// context becomes current and given back when it stops being current.
DrawingContext* DrawingContextCreateOnWindow(HWND window);
// The surface went away: later drawing does nothing.
void DrawingContextDetachSurface(DrawingContext* dc);
// Makes the context current and returns its device context (nil without one).
HDC DrawingContextMakeCurrent(DrawingContext* dc);
DrawingContext* DrawingContextCurrent();
// Gives up the current context's device context, so that none is held (a
// modal box is about to run its own message loop).
void DrawingContextReleaseCurrent();
// Clip rectangle in surface coordinates; nil removes it.
void DrawingContextSetClip(DrawingContext* dc, const RECT* clip);
int32_t DrawingContextWidth(DrawingContext* dc);
int32_t DrawingContextHeight(DrawingContext* dc);
// A device coordinate from a double: NaN gives 0, the rest is truncated
// toward zero inside the range GDI accepts.
int32_t DeviceCoordinate(double value);
// Scaled copy of src's box (sx, sy, sw, sh) onto the device rectangle
// (dx, dy, dw, dh); through mask when given (white = transparent, as a
// picture's mask).
void DrawingContextCopyPixels(DrawingContext* dc, const PixelMap& src, const PixelMap* mask, int32_t sx,
                              int32_t sy, int32_t sw, int32_t sh, int32_t dx, int32_t dy, int32_t dw,
                              int32_t dh);
