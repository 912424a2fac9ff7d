#include "graphics/ShapeLineBatch.h"

#include "graphics/DrawingContextState.h"

namespace {

// Beyond this many points a batch is drawn, so its memory stays small.
constexpr size_t kBatchPoints = 16384;

}  // namespace

void ShapeLineBatch::MoveTo(int32_t x, int32_t y) { DrawingContextMoveTo(dc_, x, y); }

void ShapeLineBatch::LineTo(int32_t x, int32_t y) {
    if (!dc_) return;
    DrawingContext* dc = dc_;
    int32_t width = (dc->penWidth + dc->penHeight) / 2;
    // Wider pens cap and join their segments: those keep to one segment at a time.
    if (width != 0 && width != 1) {
        Flush();
        DrawingContextLineTo(dc, x, y);
        return;
    }
    COLORREF colour = ColourRef(dc->fore);
    if (!counts_.empty() && (colour != colour_ || width != width_)) Flush();
    colour_ = colour;
    width_ = width;
    int32_t sx = dc->penWidth / 2, sy = dc->penHeight / 2;
    POINT from{dc->penPosition.x + sx, dc->penPosition.y + sy};
    POINT to{DeviceX(dc, x), DeviceY(dc, y)};
    dc->penPosition = to;
    dc->drawnOn = true;
    to.x += sx;
    to.y += sy;
    // Segments that continue the last polyline extend it; others start a new one.
    if (counts_.empty() || points_.back().x != from.x || points_.back().y != from.y) {
        points_.push_back(from);
        counts_.push_back(1);
    }
    points_.push_back(to);
    ++counts_.back();
    if (points_.size() >= kBatchPoints) Flush();
}

void ShapeLineBatch::Flush() {
    if (counts_.empty()) return;
    HDC hdc = DrawingContextMakeCurrent(dc_);
    if (hdc) {
        GdiHandle<HPEN> pen(CreatePen(PS_SOLID, width_, colour_));
        SelectedObject selected(hdc, pen.Get());
        PolyPolyline(hdc, points_.data(), counts_.data(), DWORD(counts_.size()));
    }
    points_.clear();
    counts_.clear();
}

bool ShapeLineBatch::OutOfSight(int32_t left, int32_t top, int32_t right, int32_t bottom) const {
    const DrawingContext* dc = dc_;
    if (!dc || !dc->map || dc->map->width <= 0 || dc->map->height <= 0) return false;
    // A pen w wide paints at most w / 2 beside its line; two more pixels to spare.
    int64_t pen = (int64_t(dc->penWidth) + dc->penHeight) / 2;
    int64_t pad = (pen < 0 ? -pen : pen) + 2;
    int64_t sx = dc->penWidth / 2, sy = dc->penHeight / 2;
    return DeviceX(dc, right) + sx + pad < 0 || DeviceX(dc, left) + sx - pad >= dc->map->width ||
           DeviceY(dc, bottom) + sy + pad < 0 || DeviceY(dc, top) + sy - pad >= dc->map->height;
}
