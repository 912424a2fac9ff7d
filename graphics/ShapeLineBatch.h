// The renderer's thin lines: drawn exactly as DrawingContextMoveTo and
// DrawingContextLineTo draw them, but gathered while colour and pen stay the
// same and sent to GDI as one PolyPolyline with one pen, instead of a pen
// created, selected and deleted for every segment.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct DrawingContext;

class ShapeLineBatch {
public:
    explicit ShapeLineBatch(DrawingContext* dc) : dc_(dc) {}
    ~ShapeLineBatch() { Flush(); }
    ShapeLineBatch(const ShapeLineBatch&) = delete;
    ShapeLineBatch& operator=(const ShapeLineBatch&) = delete;

    // Device coordinates minus the origin, with the context's pen and fore colour.
    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    // Draws what was gathered. Called before anything else is painted, so
    // later shapes still cover earlier ones.
    void Flush();
    // True when no line with the context's pen between device points inside
    // (left, top)-(right, bottom) can touch the surface.
    bool OutOfSight(int32_t left, int32_t top, int32_t right, int32_t bottom) const;

private:
    DrawingContext* dc_;
    std::vector<POINT> points_;
    std::vector<DWORD> counts_;  // one per polyline, each at least 2
    COLORREF colour_ = 0;
    int32_t width_ = 0;
};
