#include "graphics/ShapeOutlines.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kRotationThreshold = 0.00001;
constexpr double kJoinTolerance = 1e-12;
constexpr double kParallelTolerance = 1e-10;
constexpr int32_t kExactEvery = 32;

// Local points of a rectangle-based shape into Graphics coordinates.
void Transform(const Object2DObject* s, PointList& pts) {
    double r = s->rotation;
    bool turn = !(r >= -kRotationThreshold && r <= kRotationThreshold);
    double c = turn ? std::cos(r) : 1, sn = turn ? std::sin(r) : 0;
    for (ShapePoint& p : pts) {
        double x = p.x, y = p.y;
        if (turn) {
            x = p.x * c - p.y * sn;
            y = p.x * sn + p.y * c;
        }
        p.x = x * s->scale + s->x;
        p.y = y * s->scale + s->y;
    }
}

int32_t RoundedCount(double v, int32_t low, int32_t high) { return ClampedCount(v + 0.5, low, high); }

// The offset vector d x (B.y - A.y, A.x - B.x) / |B - A|; zero for a segment of no length.
ShapePoint OffsetVector(const ShapePoint& a, const ShapePoint& b, double d) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0)) return {0, 0};
    return {d * dy / len, -d * dx / len};
}

// Intersection of the line through p1 with direction d1 and the line through p2 with direction d2;
// fallback when they are parallel.
ShapePoint Intersect(ShapePoint p1, ShapePoint d1, ShapePoint p2, ShapePoint d2, ShapePoint fallback) {
    double cross = d1.x * d2.y - d1.y * d2.x;
    if (!(std::fabs(cross) > kParallelTolerance)) return fallback;
    double t = ((p2.x - p1.x) * d2.y - (p2.y - p1.y) * d2.x) / cross;
    return {p1.x + d1.x * t, p1.y + d1.y * t};
}

ShapePoint Add(ShapePoint a, ShapePoint b) { return {a.x + b.x, a.y + b.y}; }
ShapePoint Sub(ShapePoint a, ShapePoint b) { return {a.x - b.x, a.y - b.y}; }

// The corner of P[i] between the offset segments prev -> P[i] and P[i] -> next.
ShapePoint Corner(ShapePoint prev, ShapePoint at, ShapePoint next, double d) {
    ShapePoint o1 = OffsetVector(prev, at, d), o2 = OffsetVector(at, next, d);
    return Intersect(Add(prev, o1), Sub(at, prev), Add(at, o2), Sub(next, at), Add(at, o2));
}

double Clip(double v) {
    if (v != v) return 0;
    if (v > kDeviceLimit) return kDeviceLimit;
    if (v < -kDeviceLimit) return -kDeviceLimit;
    return v;
}

// One Sutherland-Hodgman pass against x (axis 0) or y (axis 1) on one side of limit.
void ClipPass(const PointList& in, int axis, double limit, bool keepBelow, PointList& out) {
    out.clear();
    size_t n = in.size();
    for (size_t i = 0; i < n; ++i) {
        const ShapePoint& a = in[(i + n - 1) % n];
        const ShapePoint& b = in[i];
        double va = axis ? a.y : a.x, vb = axis ? b.y : b.x;
        bool ina = keepBelow ? va <= limit : va >= limit;
        bool inb = keepBelow ? vb <= limit : vb >= limit;
        if (ina != inb) {
            double t = (limit - va) / (vb - va);
            ShapePoint p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            if (axis) p.y = limit; else p.x = limit;
            out.push_back(p);
        }
        if (inb) out.push_back(b);
    }
}

bool NeedsClip(const PointList& pts) {
    for (const ShapePoint& p : pts)
        if (std::fabs(p.x) > kDeviceLimit || std::fabs(p.y) > kDeviceLimit) return true;
    return false;
}

}  // namespace

void CurvePointAt(const CurveShapeObject* c, double t, double* x, double* y) {
    double u = 1 - t;
    double x0 = c->base.x, y0 = c->base.y, x1 = c->x2, y1 = c->y2;
    if (c->order == 2) {
        double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
        *x = a * x0 + b * c->control[0][0] + d * c->control[1][0] + e * x1;
        *y = a * y0 + b * c->control[0][1] + d * c->control[1][1] + e * y1;
    } else {
        double a = u * u, b = 2 * u * t, e = t * t;
        *x = a * x0 + b * c->control[0][0] + e * x1;
        *y = a * y0 + b * c->control[0][1] + e * y1;
    }
}

int32_t ClampedCount(double value, int32_t low, int32_t high) {
    if (!(value >= low)) return low;
    if (value >= high) return high;
    return int32_t(value);
}

bool AllFinite(const PointList& points) {
    for (const ShapePoint& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    return true;
}

void RectOutline(const RectShapeObject* r, PointList& out) {
    double w = r->width / 2, h = r->height / 2;
    out.assign({{w, h}, {-w, h}, {-w, -h}, {w, -h}});
    Transform(&r->base, out);
}

void RoundRectOutline(const RoundRectShapeObject* r, PointList& out) {
    double w = r->rect.width, h = r->rect.height;
    if (!(r->cornerWidth > 0) || !(r->cornerHeight > 0)) {
        RectOutline(&r->rect, out);
        return;
    }
    double cw = r->cornerWidth < w ? r->cornerWidth : w;
    double ch = r->cornerHeight < h ? r->cornerHeight : h;
    int32_t n = r->segments >= 4 ? r->segments : ClampedCount((cw + ch) * r->rect.base.scale * 0.2, 4, 1024);
    if (n > 1024) n = 1024;
    int32_t q = (n + 3) / 4;
    double step = kTwoPi / (4 * q);
    static const int kSigns[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    out.clear();
    out.reserve(size_t(4 * q + 4));
    for (int k = 0; k < 4; ++k) {
        double cx = kSigns[k][0] * (w - cw) / 2, cy = kSigns[k][1] * (h - ch) / 2;
        for (int32_t i = 0; i <= q; ++i) {
            double phi = (k * q + i) * step;
            out.push_back({cw / 2 * std::cos(phi) + cx, ch / 2 * std::sin(phi) + cy});
        }
    }
    Transform(&r->rect.base, out);
}

void OvalOutline(const OvalShapeObject* o, PointList& out) {
    double w = o->rect.width, h = o->rect.height;
    int32_t n = o->segments >= 3 ? o->segments
                                 : ClampedCount(o->rect.base.scale * (std::fabs(w) + std::fabs(h)) * 0.2, 8, 1024);
    if (n > 1024) n = 1024;
    out.clear();
    out.reserve(size_t(n));
    double step = kTwoPi / n, phi = 0;
    for (int32_t i = 0; i < n; ++i, phi += step) out.push_back({w / 2 * std::cos(phi), h / 2 * std::sin(phi)});
    Transform(&o->rect.base, out);
}

void ArcOutline(const ArcShapeObject* a, PointList& out) {
    const RectShapeObject& r = a->oval.rect;
    double w = r.width, h = r.height;
    double d = std::fmod(a->arcAngle, kTwoPi);
    int32_t n = 0;
    double fromSegments = d * a->oval.segments / kTwoPi;
    if (fromSegments >= 1) n = RoundedCount(fromSegments, 0, 1024);
    if (n < 1) n = RoundedCount(r.base.scale * (std::fabs(w) + std::fabs(h)) * 0.2, 8, 1024);
    out.clear();
    out.reserve(size_t(n + 2));
    // The angles step evenly: turn (cos, sin) by the step and take the exact
    // values every few points, so long arcs cost few trigonometric calls.
    double step = d / n, cosStep = std::cos(step), sinStep = std::sin(step);
    double c = 1, sn = 0;
    for (int32_t i = 0; i <= n; ++i) {
        if (i % kExactEvery == 0) {
            double phi = a->startAngle + i * d / n;
            c = std::cos(phi);
            sn = std::sin(phi);
        }
        // A zero width gives the same points without dividing by it.
        double y = w != 0 ? w / 2 * sn * h / w : h / 2 * sn;
        out.push_back({w / 2 * c, y});
        double next = c * cosStep - sn * sinStep;
        sn = sn * cosStep + c * sinStep;
        c = next;
    }
    out.push_back({0, 0});
    Transform(&r.base, out);
}

bool ArcBounds(const ArcShapeObject* a, ShapeBox* out) {
    const RectShapeObject& r = a->oval.rect;
    const Object2DObject& s = r.base;
    // Inside these limits the outline's points stay within a tiny relative
    // error of the ideal ellipse (no overflow, no denormals, angles small
    // enough to be represented finely).
    constexpr double kLarge = 1e100, kSmall = 1e-100;
    double ra = r.width / 2, rb = r.height / 2;
    bool sizes = std::fabs(r.width) < kLarge && std::fabs(r.height) < kLarge &&
                 (r.width == 0 || std::fabs(r.width) > kSmall);
    if (!sizes || !(std::fabs(s.scale) < kLarge) || !(std::fabs(s.x) < kLarge) || !(std::fabs(s.y) < kLarge) ||
        !(std::fabs(a->startAngle) <= 64) || !std::isfinite(a->arcAngle) || !std::isfinite(s.rotation))
        return false;
    double d = std::fmod(a->arcAngle, kTwoPi);
    double rot = s.rotation;
    bool turn = !(rot >= -kRotationThreshold && rot <= kRotationThreshold);
    double rc = turn ? std::cos(rot) : 1, rs = turn ? std::sin(rot) : 0;
    // A point (u, v) of the unit circle, without the position.
    auto linear = [&](double u, double v) {
        double x = ra * u, y = rb * v;
        return ShapePoint{(x * rc - y * rs) * s.scale, (x * rs + y * rc) * s.scale};
    };
    double minX, maxX, minY, maxY;
    if (std::fabs(d) <= kTwoPi / 4) {
        // On the unit circle an arc of at most a quarter lies in the rectangle
        // of its chord and its sagitta; the shape's linear map keeps that hull.
        double a0 = a->startAngle, a1 = a->startAngle + d, am = a->startAngle + d / 2;
        double sag = 1 - std::cos(d / 2);
        ShapePoint p0 = linear(std::cos(a0), std::sin(a0)), p1 = linear(std::cos(a1), std::sin(a1));
        ShapePoint m = linear(sag * std::cos(am), sag * std::sin(am));
        minX = std::fmin(std::fmin(p0.x, p1.x), std::fmin(p0.x + m.x, p1.x + m.x));
        maxX = std::fmax(std::fmax(p0.x, p1.x), std::fmax(p0.x + m.x, p1.x + m.x));
        minY = std::fmin(std::fmin(p0.y, p1.y), std::fmin(p0.y + m.y, p1.y + m.y));
        maxY = std::fmax(std::fmax(p0.y, p1.y), std::fmax(p0.y + m.y, p1.y + m.y));
    } else {
        double ex = std::fabs(s.scale) * (std::fabs(ra * rc) + std::fabs(rb * rs));
        double ey = std::fabs(s.scale) * (std::fabs(ra * rs) + std::fabs(rb * rc));
        minX = -ex, maxX = ex, minY = -ey, maxY = ey;
    }
    // Rounding errors grow with the largest magnitude in the sums: the
    // radius on the surface and the position.
    double size = std::fabs(s.scale) * (std::fabs(ra) + std::fabs(rb)) + std::fabs(s.x) + std::fabs(s.y);
    double margin = size * 1e-10 + 1e-9;
    *out = ShapeBox{s.x + minX - margin, s.y + minY - margin, s.x + maxX + margin, s.y + maxY + margin};
    return std::isfinite(out->minX) && std::isfinite(out->minY) && std::isfinite(out->maxX) &&
           std::isfinite(out->maxY);
}

void CurveOutline(const CurveShapeObject* c, PointList& out) {
    ShapePoint p0{c->base.x, c->base.y}, p1{c->x2, c->y2};
    ShapePoint mid{(c->base.x + c->x2) * 0.5, (c->base.y + c->y2) * 0.5};
    out.clear();
    if (c->order != 1 && c->order != 2) {
        out.assign({p0, p1, mid});
        return;
    }
    ShapePoint c1{c->control[0][0], c->control[0][1]};
    ShapePoint e = c->order == 2 ? ShapePoint{c->control[1][0], c->control[1][1]} : c1;
    ShapePoint b = c->order == 2 ? p1 : p0;
    auto sq = [](ShapePoint u, ShapePoint v) { return (u.x - v.x) * (u.x - v.x) + (u.y - v.y) * (u.y - v.y); };
    double len = std::sqrt(sq(c1, p0) + sq(p1, p0) + sq(e, b));
    int32_t n = c->segments >= 3 ? c->segments : ClampedCount(len * c->base.scale * 0.1, 3, 512);
    if (n > 512) n = 512;
    out.reserve(size_t(n + 2));
    for (int32_t i = 0; i <= n; ++i) {
        ShapePoint p;
        CurvePointAt(c, i * (1.0 / n), &p.x, &p.y);
        out.push_back(p);
    }
    out.push_back(mid);
}

void FigurePath(ObjectHeader* figure, PointList& out) {
    out.clear();
    GroupObject* g = reinterpret_cast<GroupObject*>(figure);
    int32_t curved = 0;
    for (int32_t i = 0; i < g->count; ++i) {
        ObjectHeader* m = g->members[i];
        if (ShapeTag(m) == kTagCurveShape && reinterpret_cast<CurveShapeObject*>(m)->order >= 1) ++curved;
    }
    int32_t budget = curved ? 1024 / curved : 2;
    if (budget < 2) budget = 2;
    ShapePoint last{0, 0};
    for (int32_t i = 0; i < g->count; ++i) {
        ObjectHeader* m = g->members[i];
        if (ShapeTag(m) != kTagCurveShape) continue;
        const CurveShapeObject* c = reinterpret_cast<const CurveShapeObject*>(m);
        if (i == 0 || !(std::fabs(c->base.x - last.x) < kJoinTolerance) ||
            !(std::fabs(c->base.y - last.y) < kJoinTolerance))
            out.push_back({c->base.x, c->base.y});
        if (c->order >= 1) {
            int32_t k = c->segments >= 2 && c->segments <= budget ? c->segments : budget;
            for (int32_t j = 1; j <= k; ++j) {
                ShapePoint p;
                CurvePointAt(c, j * (1.0 / k), &p.x, &p.y);
                out.push_back(p);
            }
        } else {
            out.push_back({c->x2, c->y2});
        }
        last = {c->x2, c->y2};
    }
    if (out.size() >= 2 && std::fabs(out[0].x - last.x) < kJoinTolerance &&
        std::fabs(out[0].y - last.y) < kJoinTolerance)
        out.pop_back();
}

void OffsetOutline(const PointList& p, OutlineKind kind, double d, PointList& out) {
    size_t m = p.size();
    out.assign(m, ShapePoint{0, 0});
    if (m < 2) {
        out = p;
        return;
    }
    if (kind == OutlineKind::kClosed) {
        for (size_t i = 0; i < m; ++i) out[i] = Corner(p[(i + m - 1) % m], p[i], p[(i + 1) % m], d);
        return;
    }
    if (kind == OutlineKind::kCurve) {
        size_t last = m - 2;  // the chord midpoint is not part of the band
        if (last == 0) {
            out[0] = p[0];
            out[1] = p[1];
            return;
        }
        out[0] = Add(p[0], OffsetVector(p[0], p[1], d));
        for (size_t i = 1; i < last; ++i) out[i] = Corner(p[i - 1], p[i], p[i + 1], d);
        out[last] = Add(p[last], OffsetVector(p[last - 1], p[last], d));
        out[m - 1] = p[m - 1];
        return;
    }
    // Arc points, then the centre: the ends are cut along the radii.
    size_t n = m - 2;  // index of the last arc point
    ShapePoint centre = p[m - 1];
    if (n == 0) {
        out = p;
        return;
    }
    ShapePoint o = OffsetVector(p[0], p[1], d);
    out[0] = Intersect(Add(p[0], o), Sub(p[1], p[0]), centre, Sub(p[0], centre), Add(p[0], o));
    for (size_t i = 1; i < n; ++i) out[i] = Corner(p[i - 1], p[i], p[i + 1], d);
    o = OffsetVector(p[n - 1], p[n], d);
    out[n] = Intersect(Add(p[n - 1], o), Sub(p[n], p[n - 1]), p[n], Sub(centre, p[n]), Add(p[n], o));
    out[m - 1] = centre;
}

void BorderBand(const PointList& points, OutlineKind kind, double w, PointList& out) {
    PointList minus, plus;
    OffsetOutline(points, kind, -w / 2, minus);
    OffsetOutline(points, kind, w / 2, plus);
    size_t m = points.size();
    out.clear();
    if (m == 0) return;
    if (kind == OutlineKind::kClosed) {
        out.reserve(2 * m + 2);
        out.insert(out.end(), minus.begin(), minus.end());
        out.push_back(minus[0]);
        out.push_back(plus[0]);
        for (size_t i = m; i-- > 0;) out.push_back(plus[i]);
        return;
    }
    if (m < 2) return;
    out.reserve(2 * m - 2);
    out.insert(out.end(), minus.begin(), minus.end() - 1);
    for (size_t i = m - 1; i-- > 0;) out.push_back(plus[i]);
}

void DevicePolygon(const PointList& points, double round, int32_t left, int32_t top, std::vector<POINT>& out) {
    out.clear();
    // Infinities and NaN have no place on a surface: such a shape draws nothing.
    if (!AllFinite(points)) return;
    const PointList* src = &points;
    PointList a, b;
    if (NeedsClip(points)) {
        ClipPass(points, 0, kDeviceLimit, true, a);
        ClipPass(a, 0, -kDeviceLimit, false, b);
        ClipPass(b, 1, kDeviceLimit, true, a);
        ClipPass(a, 1, -kDeviceLimit, false, b);
        src = &b;
    }
    out.reserve(src->size());
    for (const ShapePoint& p : *src) {
        POINT d{int32_t(Clip(p.x + round)) + left, int32_t(Clip(p.y + round)) + top};
        // Repeated vertices add nothing to the polygon.
        if (!out.empty() && out.back().x == d.x && out.back().y == d.y) continue;
        out.push_back(d);
    }
    // A shape inside one pixel still shows as that pixel.
    if (out.size() == 1 && src->size() >= 2) out.push_back(out[0]);
}
