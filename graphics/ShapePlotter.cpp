#include "graphics/ShapePlotter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/Picture.h"
#include "graphics/PixMapRotate.h"
#include "graphics/ShapeLineBatch.h"
#include "graphics/ShapeOutlines.h"
#include "graphics/ShapePositions.h"
#include "graphics/Shapes2D.h"
#include "objects/ObjectDefinition.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kOpacityThreshold = 0.5;
constexpr double kThinBorderLimit = 1.5;
constexpr double kTextRotationThreshold = 0.001;
// Fonts beyond this many pixels show nothing sensible and cost the rasterizer dearly.
constexpr double kLargestTextSize = 4096;
// A turned image needs three squares of this side: 64 MB each at most.
constexpr int64_t kLargestTurnedImage = 4096;

int32_t TruncClipped(double v) {
    if (!(v == v)) return 0;
    if (v > kDeviceLimit) return int32_t(kDeviceLimit);
    if (v < -kDeviceLimit) return -int32_t(kDeviceLimit);
    return int32_t(v);
}

// The box, in an n x n map turned about its centre c, that holds a w x h
// rectangle centred there after turning it by a, with a pixel to spare.
struct TurnedBox {
    int32_t left, top, width, height;
};
TurnedBox TurnedBoxIn(int32_t n, double c, double w, double h, double a) {
    double ca = std::cos(a), sa = std::sin(a);
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int k = 0; k < 4; ++k) {
        double x = (k & 1 ? 0.5 : -0.5) * w, y = (k & 2 ? 0.5 : -0.5) * h;
        double rx = x * ca - y * sa, ry = x * sa + y * ca;
        minX = std::fmin(minX, rx), maxX = std::fmax(maxX, rx);
        minY = std::fmin(minY, ry), maxY = std::fmax(maxY, ry);
    }
    TurnedBox box;
    box.left = std::max(0, int32_t(c + minX - 1));
    box.top = std::max(0, int32_t(c + minY - 1));
    box.width = std::min(int32_t(maxX - minX + 3), n - box.left);
    box.height = std::min(int32_t(maxY - minY + 3), n - box.top);
    return box;
}

class ShapeRenderer {
public:
    ShapeRenderer(DrawingContext* dc, ShapeDrawing how)
        : dc_(dc), left_(DrawingContextSurfaceLeft(dc)), top_(DrawingContextSurfaceTop(dc)), how_(how), lines_(dc) {}
    ShapeRenderer(const ShapeRenderer&) = delete;
    ShapeRenderer& operator=(const ShapeRenderer&) = delete;

    void DrawMember(ObjectHeader* o, int32_t budget) {
        if (!o) return;
        switch (ShapeTag(o)) {
        case kTagStringShape: DrawString(reinterpret_cast<StringShapeObject*>(o)); break;
        case kTagFigureShape: DrawFigure(o); break;
        case kTagOvalShape: DrawOval(reinterpret_cast<OvalShapeObject*>(o)); break;
        case kTagArcShape: DrawArc(reinterpret_cast<ArcShapeObject*>(o)); break;
        case kTagCurveShape: {
            CurveOutline(reinterpret_cast<CurveShapeObject*>(o), points_);
            Paint(AsShape(o), OutlineKind::kCurve, AsShape(o)->borderWidth * AsShape(o)->scale);
            break;
        }
        case kTagPixmapShape: DrawPixmap(reinterpret_cast<PixmapShapeObject*>(o)); break;
        case kTagRectShape:
        case kTagRoundRectShape: DrawRectFamily(o); break;
        case kTagGroup2D: DrawGroup(o, budget); break;
        default: break;
        }
    }

    // Draws the lines still gathered.
    void Finish() { lines_.Flush(); }

private:
    void DrawArc(ArcShapeObject* a) {
        const Object2DObject* s = &a->oval.rect.base;
        double w = s->borderWidth * s->scale;
        if (how_ == ShapeDrawing::kBatched && ArcDrawsNothing(a, *s, w)) return;
        ArcOutline(a, points_);
        Paint(s, OutlineKind::kArc, w);
    }

    // Most arcs of a map cover one pixel or lie off the picture. When the box
    // of an arc's points says so, the thin border that is all it paints would
    // draw nothing, and its points need not be computed.
    bool ArcDrawsNothing(const ArcShapeObject* a, const Object2DObject& s, double w) {
        if (s.fillOpacity >= kOpacityThreshold) return false;
        if (!(s.borderOpacity >= kOpacityThreshold) || !(s.borderWidth > 0)) return true;
        if (!(w < kThinBorderLimit || !std::isfinite(w))) return false;
        ShapeBox box;
        if (!ArcBounds(a, &box)) return false;
        POINT low = PolylinePoint({box.minX, box.minY}), high = PolylinePoint({box.maxX, box.maxY});
        // All points on one pixel: every line to them is left out.
        if (low.x == high.x && low.y == high.y) return true;
        return lines_.OutOfSight(low.x, low.y, high.x, high.y);
    }

    void DrawGroup(ObjectHeader* group, int32_t budget) {
        if (budget <= 0) return;
        // A group that holds itself paints the same pixels again: enter it once per path.
        for (ObjectHeader* g : path_)
            if (g == group) return;
        path_.push_back(group);
        GroupObject* g = reinterpret_cast<GroupObject*>(group);
        for (int32_t i = 0; i < g->count; ++i) DrawMember(g->members[i], budget - 1);
        path_.pop_back();
    }

    void DrawRectFamily(ObjectHeader* o) {
        if (ShapeTag(o) == kTagRoundRectShape)
            RoundRectOutline(reinterpret_cast<RoundRectShapeObject*>(o), points_);
        else
            RectOutline(reinterpret_cast<RectShapeObject*>(o), points_);
        Paint(AsShape(o), OutlineKind::kClosed, AsShape(o)->borderWidth * AsShape(o)->scale);
    }

    void DrawFigure(ObjectHeader* figure) {
        FigurePath(figure, points_);
        Paint(AsShape(figure), OutlineKind::kClosed, AsShape(figure)->borderWidth * AsShape(figure)->scale);
    }

    // Fill, then border, of the outline in points_.
    void Paint(const Object2DObject* s, OutlineKind kind, double w) {
        if (points_.empty() || !AllFinite(points_)) return;
        if (s->fillOpacity >= kOpacityThreshold) {
            DrawingContextSetForeColor(dc_, s->fillColor & 0xFFFFFFu);
            FillPoints(points_, 0.5);
        }
        if (!(s->borderOpacity >= kOpacityThreshold) || !(s->borderWidth > 0)) return;
        DrawingContextSetForeColor(dc_, s->borderColor & 0xFFFFFFu);
        if (w < kThinBorderLimit || !std::isfinite(w)) {
            ThinBorder(kind);
            return;
        }
        BorderBand(points_, kind, w, band_);
        if (AllFinite(band_)) FillPoints(band_, 0);
    }

    void FillPoints(const PointList& pts, double round) {
        lines_.Flush();
        DevicePolygon(pts, round, left_, top_, device_);
        if (!device_.empty()) DrawingContextFillPolygon(dc_, device_.data(), int32_t(device_.size()));
    }

    POINT PolylinePoint(const ShapePoint& p) const {
        return {TruncClipped(left_ + p.x + 0.5), TruncClipped(top_ + p.y + 0.5)};
    }

    void ThinBorder(OutlineKind kind) {
        size_t n = points_.size();
        size_t first, end;
        POINT at;
        if (kind == OutlineKind::kClosed) {
            at = PolylinePoint(points_[n - 1]);
            first = 0;
            end = n;
        } else {
            if (n < 2) return;
            at = PolylinePoint(points_[0]);
            first = 1;
            end = n - 1;  // the centre or chord midpoint is left out
        }
        bool batched = how_ == ShapeDrawing::kBatched;
        if (batched) lines_.MoveTo(at.x, at.y);
        else DrawingContextMoveTo(dc_, at.x, at.y);
        for (size_t i = first; i < end; ++i) {
            POINT p = PolylinePoint(points_[i]);
            // A line to the pixel the pen is on draws nothing.
            if (p.x == at.x && p.y == at.y) continue;
            if (batched) lines_.LineTo(p.x, p.y);
            else DrawingContextLineTo(dc_, p.x, p.y);
            at = p;
        }
    }

    void DrawOval(OvalShapeObject* o) {
        const Object2DObject& s = o->rect.base;
        RectOutline(&o->rect, points_);
        if (!AllFinite(points_)) return;
        double t = 0.01 * (o->rect.width + o->rect.height) * s.scale;
        bool aligned = true;
        for (size_t i = 0; i < 4; ++i) {
            const ShapePoint& a = points_[i];
            const ShapePoint& b = points_[(i + 1) % 4];
            if (!(std::fabs(b.x - a.x) <= t || std::fabs(b.y - a.y) <= t)) aligned = false;
        }
        double minX = std::fmin(points_[0].x, points_[2].x), maxX = std::fmax(points_[0].x, points_[2].x);
        double minY = std::fmin(points_[0].y, points_[2].y), maxY = std::fmax(points_[0].y, points_[2].y);
        // Ellipses of a size GDI cannot take are drawn (and clipped) as polygons.
        bool fits = std::fabs(minX) < kDeviceLimit && std::fabs(maxX) < kDeviceLimit &&
                    std::fabs(minY) < kDeviceLimit && std::fabs(maxY) < kDeviceLimit;
        if (!aligned || !fits) {
            OvalOutline(o, points_);
            Paint(&s, OutlineKind::kClosed, s.borderWidth * s.scale);
            return;
        }
        lines_.Flush();
        int32_t left = int32_t(minX) + left_, right = int32_t(maxX) + left_;
        int32_t top = int32_t(minY) + top_, bottom = int32_t(maxY) + top_;
        if (s.fillOpacity >= kOpacityThreshold) {
            DrawingContextSetForeColor(dc_, s.fillColor & 0xFFFFFFu);
            DrawingContextFillEllipse(dc_, left, top, right, bottom);
        }
        if (s.borderOpacity >= kOpacityThreshold && s.borderWidth > 0) {
            int32_t v = ClampedCount(s.borderWidth * s.scale, 0, 4096);
            if (v > 1) {
                left -= v / 2;
                top -= v / 2;
                right += v / 2;
                bottom += v / 2;
            } else {
                v = 1;
            }
            DrawingContextSetPen(dc_, v, v);
            DrawingContextSetForeColor(dc_, s.borderColor & 0xFFFFFFu);
            DrawingContextFrameEllipse(dc_, left, top, right, bottom);
            DrawingContextSetPen(dc_, 1, 1);
        }
    }

    void DrawString(StringShapeObject* s) {
        const Object2DObject& b = s->base;
        if (!(b.fillOpacity >= kOpacityThreshold)) return;
        lines_.Flush();
        // Rounded to a double before the truncation, as the product is defined (x87 keeps more bits).
        volatile double product = s->textSize * b.scale;
        double size = product;
        if (!(std::fabs(size) < kLargestTextSize) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
        DrawingContextSetFont(dc_, s->textFont, int32_t(size), s->bold != 0, s->italic != 0, s->underline != 0);
        DrawingContextSetForeColor(dc_, b.fillColor & 0xFFFFFFu);
        int32_t w = DrawingContextStringWidth(dc_, s->text);
        double a = std::fmod(b.rotation, kTwoPi);
        if (a > -kTextRotationThreshold && a < kTextRotationThreshold) {
            DrawingContextTextAt(dc_, s->text, TruncClipped(left_ + b.x - w / 2), TruncClipped(top_ + b.y),
                                 nullptr);
            return;
        }
        DrawTurnedString(s, int32_t(size), w, a);
    }

    // Text drawn black on white in a square, turned by the pixel-map rotation
    // into a mask, and the fill colour copied through it.
    void DrawTurnedString(StringShapeObject* s, int32_t fontSize, int32_t w, double a) {
        const Object2DObject& b = s->base;
        int32_t ascent = DrawingContextAscent(dc_);
        int32_t n = 2 * ascent + w + 4 + (w % 2 != 0 ? 1 : 0);
        if (n <= 0 || n > 8192) return;
        PixelMapHolder image(n, n), mask(n, n), text(n, n);
        if (!image.Ready() || !mask.Ready() || !text.Ready()) return;
        GdiFlush();
        uint32_t fill = b.fillColor & 0xFFFFFFu;
        for (int32_t i = 0; i < n * n; ++i) image.map->pixels[i] = fill;
        int32_t tx = int32_t((n - w) * 0.5), ty = int32_t(n * 0.5);
        {
            DrawingContext* tdc = DrawingContextCreate(text.map);
            if (!tdc) return;
            DrawingContextSetFont(tdc, s->textFont, fontSize, s->bold != 0, s->italic != 0,
                                  s->underline != 0);
            DrawingContextSetForeColor(tdc, 0);
            DrawingContextTextAt(tdc, s->text, tx, ty, nullptr);
            DrawingContextDestroy(tdc);
        }
        GdiFlush();
        PixMapRotate(text.Buffer(), mask.Buffer(), -a, RotateEdge::kWhite);

        double left = tx - 1, top = ty - ascent - 1;
        double bw = n - 2 * left, bh = n - 2 * top;
        const TurnedBox box = TurnedBoxIn(n, n / 2.0, bw, bh, a);
        const int32_t boxLeft = box.left, boxTop = box.top, boxWidth = box.width, boxHeight = box.height;
        if (boxWidth <= 0 || boxHeight <= 0) return;
        int32_t dx = left_ + TruncClipped(b.x - boxWidth / 2), dy = top_ + TruncClipped(b.y - boxHeight / 2);
        DrawingContextCopyPixels(dc_, *image.map, mask.map, boxLeft, boxTop, boxWidth, boxHeight, dx, dy, boxWidth,
                                 boxHeight);
    }

    // One temporary 32-bit pixel map, white when made.
    struct PixelMapHolder {
        PixelMapHolder(int32_t w, int32_t h) : map(PixelMapCreate(w, h, 32)) {}
        ~PixelMapHolder() {
            if (map) PixelMapFree(map);
        }
        PixelMapHolder(const PixelMapHolder&) = delete;
        PixelMapHolder& operator=(const PixelMapHolder&) = delete;
        bool Ready() const { return map && map->bitmap && map->pixels; }
        PixelBuffer Buffer() const { return {map->pixels, map->width, map->height}; }
        PixelMap* map;
    };

    struct Box {
        int32_t x, y, w, h;
    };

    // The picture behind a pixmap shape: its pixel map when it is a Picture that has one.
    static const PixelMap* PictureMap(ObjectHeader* image, bool* transparent) {
        if (!image) return nullptr;
        ClassRecord* picture = ClassOfDefinition(PictureDefinition());
        ClassRecord* cls = image->classPtr;
        while (cls && cls != picture) cls = cls->base;
        if (!cls) return nullptr;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image);
        PixelMap* map;
        int32_t flag;
        std::memcpy(&map, bytes + kPictureMapAt, sizeof map);
        std::memcpy(&flag, bytes + kPictureTransparentAt, sizeof flag);
        *transparent = flag != 0;
        return map && map->bitmap && map->width > 0 && map->height > 0 ? map : nullptr;
    }

    // Pixels of a Transparent picture that are white let the background show.
    static void MaskWhite(const uint32_t* from, int32_t fromStride, uint32_t* to, int32_t toStride, int32_t w,
                          int32_t h) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                to[y * toStride + x] = (from[y * fromStride + x] & 0xFFFFFFu) == 0xFFFFFFu ? 0xFFFFFFu : 0;
    }

    // Scaled copy of map's box (sx, sy, sw, sh) onto a 32-bit map at (x, y, w, h).
    static bool CopyInto(PixelMap* to, const PixelMap& from, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                         int32_t x, int32_t y, int32_t w, int32_t h) {
        DrawingContext* tdc = DrawingContextCreate(to);
        if (!tdc) return false;
        DrawingContextCopyPixels(tdc, from, nullptr, sx, sy, sw, sh, x, y, w, h);
        DrawingContextDestroy(tdc);
        GdiFlush();
        return true;
    }

    void DrawPixmap(PixmapShapeObject* p) {
        lines_.Flush();
        Object2DObject& s = p->rect.base;
        bool transparent = false;
        const PixelMap* map = PictureMap(p->image, &transparent);
        if (s.fillOpacity >= kOpacityThreshold && map) DrawImage(p, *map, transparent);
        if (!(s.borderOpacity >= kOpacityThreshold) || !(s.borderWidth > 0)) return;
        double fill = s.fillOpacity;
        s.fillOpacity = 0;
        RectOutline(&p->rect, points_);
        Paint(&s, OutlineKind::kClosed, s.borderWidth * s.scale);
        s.fillOpacity = fill;
    }

    void DrawImage(PixmapShapeObject* p, const PixelMap& map, bool transparent) {
        const Object2DObject& s = p->rect.base;
        double rotation = std::fmod(s.rotation, kTwoPi);
        if (!std::isfinite(s.x) || !std::isfinite(s.y) || !(rotation == rotation)) return;
        int64_t dw = TruncClipped(p->rect.width * s.scale), dh = TruncClipped(p->rect.height * s.scale);
        int64_t sx = p->sourceLeft, sy = p->sourceTop, sw = p->sourceWidth, sh = p->sourceHeight;
        int64_t dx = TruncClipped(s.x - double(dw / 2)), dy = TruncClipped(s.y - double(dh / 2));
        if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
        // Where the whole rectangle lies: a turned image turns about its middle, clipped or not.
        const int64_t fullX = dx, fullY = dy, fullW = dw, fullH = dh;
        int64_t pw = map.width, ph = map.height;
        if (sx < 0) {
            int64_t k = (-sx * dw) / sw;
            dx += k; dw -= k; sw += sx; sx = 0;
        }
        if (sw >= 1 && sx + sw > pw) {
            dw = (pw - sx) * dw / sw;
            sw = pw - sx;
        }
        if (sy < 0) {
            int64_t k = (-sy * dh) / sh;
            dy += k; dh -= k; sh += sy; sy = 0;
        }
        if (sh >= 1 && sy + sh > ph) {
            dh = (ph - sy) * dh / sh;
            sh = ph - sy;
        }
        if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
        Box source{int32_t(sx), int32_t(sy), int32_t(sw), int32_t(sh)};
        if (rotation >= -kTextRotationThreshold && rotation <= kTextRotationThreshold) {
            CopyUnturned(map, transparent, source, int32_t(left_ + dx), int32_t(top_ + dy), int32_t(dw),
                         int32_t(dh));
            return;
        }
        Box piece{int32_t(dx - fullX), int32_t(dy - fullY), int32_t(dw), int32_t(dh)};
        DrawTurnedImage(map, transparent, source, piece, int32_t(fullW), int32_t(fullH),
                        int32_t(left_ + fullX + fullW / 2), int32_t(top_ + fullY + fullH / 2), rotation);
    }

    void CopyUnturned(const PixelMap& map, bool transparent, Box src, int32_t x, int32_t y, int32_t w, int32_t h) {
        if (!transparent) {
            DrawingContextCopyPixels(dc_, map, nullptr, src.x, src.y, src.w, src.h, x, y, w, h);
            return;
        }
        // The source box in 32 bits, and its white pixels as the mask.
        PixelMapHolder part(src.w, src.h), mask(src.w, src.h);
        if (!part.Ready() || !mask.Ready()) return;
        if (!CopyInto(part.map, map, src.x, src.y, src.w, src.h, 0, 0, src.w, src.h)) return;
        MaskWhite(part.map->pixels, src.w, mask.map->pixels, src.w, src.w, src.h);
        DrawingContextCopyPixels(dc_, *part.map, mask.map, 0, 0, src.w, src.h, x, y, w, h);
    }

    // The image scaled into the middle of a square with its edge rows and
    // columns repeated once outside, turned; an opaque mask of the same place
    // turned on white; the turned box copied through it about (centreX, centreY).
    // piece is the visible part of the fullW x fullH rectangle.
    void DrawTurnedImage(const PixelMap& map, bool transparent, Box src, Box piece, int32_t fullW, int32_t fullH,
                         int32_t centreX, int32_t centreY, double a) {
        int64_t side = int64_t(fullW) + fullH + ((fullW - fullH) % 2 != 0 ? 1 : 0);
        if (side > kLargestTurnedImage) return;
        int32_t n = int32_t(side);
        PixelMapHolder image(n, n), turned(n, n), mask(n, n);
        if (!image.Ready() || !turned.Ready() || !mask.Ready()) return;
        int32_t c = n / 2;  // the pixel the rotation keeps in place
        int32_t x0 = c - fullW / 2 + piece.x, y0 = c - fullH / 2 + piece.y;
        if (!CopyInto(image.map, map, src.x, src.y, src.w, src.h, x0, y0, piece.w, piece.h)) return;
        uint32_t* px = image.map->pixels;
        // Opaque where the image is (white pixels stay clear for a Transparent picture).
        if (transparent) {
            MaskWhite(px + y0 * n + x0, n, mask.map->pixels + y0 * n + x0, n, piece.w, piece.h);
        } else {
            for (int32_t y = y0; y < y0 + piece.h; ++y)
                std::fill(mask.map->pixels + y * n + x0, mask.map->pixels + y * n + x0 + piece.w, 0u);
        }
        int32_t x1 = x0 + piece.w - 1, y1 = y0 + piece.h - 1;
        for (int32_t y = y0; y <= y1; ++y) {
            if (x0 > 0) px[y * n + x0 - 1] = px[y * n + x0];
            if (x1 + 1 < n) px[y * n + x1 + 1] = px[y * n + x1];
        }
        for (int32_t x = std::max(0, x0 - 1); x <= std::min(n - 1, x1 + 1); ++x) {
            if (y0 > 0) px[(y0 - 1) * n + x] = px[y0 * n + x];
            if (y1 + 1 < n) px[(y1 + 1) * n + x] = px[y1 * n + x];
        }
        PixMapRotate(image.Buffer(), turned.Buffer(), -a, RotateEdge::kExtend);
        // The image is no longer needed: its map turns the mask.
        std::memcpy(image.map->pixels, mask.map->pixels, size_t(n) * size_t(n) * 4);
        PixMapRotate(image.Buffer(), mask.Buffer(), -a, RotateEdge::kWhite);

        const TurnedBox box = TurnedBoxIn(n, c, fullW, fullH, a);
        const int32_t boxLeft = box.left, boxTop = box.top, boxWidth = box.width, boxHeight = box.height;
        if (boxWidth <= 0 || boxHeight <= 0) return;
        DrawingContextCopyPixels(dc_, *turned.map, mask.map, boxLeft, boxTop, boxWidth, boxHeight,
                                 centreX - (c - boxLeft), centreY - (c - boxTop), boxWidth, boxHeight);
    }

    DrawingContext* dc_;
    int32_t left_, top_;
    ShapeDrawing how_;
    ShapeLineBatch lines_;
    PointList points_, band_;
    std::vector<POINT> device_;
    std::vector<ObjectHeader*> path_;
};

}  // namespace

void DrawShapeTree(DrawingContext* dc, ObjectHeader* object, int32_t deltaX, int32_t deltaY, ShapeDrawing how) {
    if (!dc) return;
    DrawingState saved;
    DrawingContextSaveState(dc, &saved);
    if (object) {
        ShapeRenderer renderer(dc, how);
        if (deltaX != 0 || deltaY != 0) {
            // Moved there for the drawing; put back exactly, not moved back.
            const ShapePositions positions(object);
            Object2DObject* s = AsShape(object);
            SetShapePosition(object, s->x + deltaX, s->y + deltaY);
            renderer.DrawMember(object, kShapeNestingBudget);
            renderer.Finish();
            positions.Restore();
        } else {
            renderer.DrawMember(object, kShapeNestingBudget);
            renderer.Finish();
        }
    }
    DrawingContextRestoreState(dc, &saved);
}
