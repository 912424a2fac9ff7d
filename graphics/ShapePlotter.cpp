#include "graphics/ShapePlotter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/PixMapRotate.h"
#include "graphics/ShapeOutlines.h"
#include "graphics/Shapes2D.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kOpacityThreshold = 0.5;
constexpr double kThinBorderLimit = 1.5;
constexpr double kTextRotationThreshold = 0.001;
// Fonts beyond this many pixels show nothing sensible and cost the rasterizer dearly.
constexpr double kLargestTextSize = 4096;

int32_t TruncClipped(double v) {
    if (!(v == v)) return 0;
    if (v > kDeviceLimit) return int32_t(kDeviceLimit);
    if (v < -kDeviceLimit) return -int32_t(kDeviceLimit);
    return int32_t(v);
}

class ShapeRenderer {
public:
    explicit ShapeRenderer(DrawingContext* dc)
        : dc_(dc), left_(DrawingContextSurfaceLeft(dc)), top_(DrawingContextSurfaceTop(dc)) {}
    ShapeRenderer(const ShapeRenderer&) = delete;
    ShapeRenderer& operator=(const ShapeRenderer&) = delete;

    void DrawMember(ObjectHeader* o, int32_t budget) {
        if (!o) return;
        switch (ShapeTag(o)) {
        case kTagStringShape: DrawString(reinterpret_cast<StringShapeObject*>(o)); break;
        case kTagFigureShape: DrawFigure(o); break;
        case kTagOvalShape: DrawOval(reinterpret_cast<OvalShapeObject*>(o)); break;
        case kTagArcShape: {
            ArcOutline(reinterpret_cast<ArcShapeObject*>(o), points_);
            Paint(AsShape(o), OutlineKind::kArc, AsShape(o)->borderWidth * AsShape(o)->scale);
            break;
        }
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

private:
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
        DrawingContextMoveTo(dc_, at.x, at.y);
        for (size_t i = first; i < end; ++i) {
            POINT p = PolylinePoint(points_[i]);
            // A line to the pixel the pen is on draws nothing.
            if (p.x == at.x && p.y == at.y) continue;
            DrawingContextLineTo(dc_, p.x, p.y);
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
        PixelMapHolder image(n), mask(n), text(n);
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
        double c = n / 2.0, ca = std::cos(a), sa = std::sin(a);
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        for (int k = 0; k < 4; ++k) {
            double x = (k & 1 ? 0.5 : -0.5) * bw, y = (k & 2 ? 0.5 : -0.5) * bh;
            double rx = x * ca - y * sa, ry = x * sa + y * ca;
            minX = std::fmin(minX, rx), maxX = std::fmax(maxX, rx);
            minY = std::fmin(minY, ry), maxY = std::fmax(maxY, ry);
        }
        int32_t boxLeft = std::max(0, int32_t(c + minX - 1)), boxTop = std::max(0, int32_t(c + minY - 1));
        int32_t boxWidth = int32_t(maxX - minX + 3), boxHeight = int32_t(maxY - minY + 3);
        boxWidth = std::min(boxWidth, n - boxLeft);
        boxHeight = std::min(boxHeight, n - boxTop);
        if (boxWidth <= 0 || boxHeight <= 0) return;
        int32_t dx = left_ + TruncClipped(b.x - boxWidth / 2), dy = top_ + TruncClipped(b.y - boxHeight / 2);
        DrawingContextCopyPixels(dc_, *image.map, mask.map, boxLeft, boxTop, boxWidth, boxHeight, dx, dy, boxWidth,
                                 boxHeight);
    }

    // One temporary N x N 32-bit pixel map, white when made.
    struct PixelMapHolder {
        explicit PixelMapHolder(int32_t n) : map(PixelMapCreate(n, n, 32)) {}
        ~PixelMapHolder() {
            if (map) PixelMapFree(map);
        }
        PixelMapHolder(const PixelMapHolder&) = delete;
        PixelMapHolder& operator=(const PixelMapHolder&) = delete;
        bool Ready() const { return map && map->bitmap && map->pixels; }
        PixelBuffer Buffer() const { return {map->pixels, map->width, map->height}; }
        PixelMap* map;
    };

    // Drawing the image needs the picture's pixel map; only the border is drawn for now.
    void DrawPixmap(PixmapShapeObject* p) {
        Object2DObject& s = p->rect.base;
        if (!(s.borderOpacity >= kOpacityThreshold) || !(s.borderWidth > 0)) return;
        double fill = s.fillOpacity;
        s.fillOpacity = 0;
        RectOutline(&p->rect, points_);
        Paint(&s, OutlineKind::kClosed, s.borderWidth * s.scale);
        s.fillOpacity = fill;
    }

    DrawingContext* dc_;
    int32_t left_, top_;
    PointList points_, band_;
    std::vector<POINT> device_;
    std::vector<ObjectHeader*> path_;
};

}  // namespace

void DrawShapeTree(DrawingContext* dc, ObjectHeader* object, int32_t deltaX, int32_t deltaY) {
    if (!dc) return;
    DrawingState saved;
    DrawingContextSaveState(dc, &saved);
    if (object) {
        ShapeRenderer renderer(dc);
        if (deltaX != 0 || deltaY != 0) {
            Object2DObject* s = AsShape(object);
            double x = s->x, y = s->y;
            SetShapePosition(object, x + deltaX, y + deltaY);
            renderer.DrawMember(object, kShapeNestingBudget);
            SetShapePosition(object, x, y);
        } else {
            renderer.DrawMember(object, kShapeNestingBudget);
        }
    }
    DrawingContextRestoreState(dc, &saved);
}

extern "C" void __cdecl RuntimeGraphicsDrawObjectXY(ObjectHeader* graphics, ObjectHeader* object, int32_t deltaX,
                                                    int32_t deltaY) {
    if (!graphics) return;
    DrawShapeTree(GraphicsDrawingContext(graphics), object, deltaX, deltaY);
}
