// Time per frame of a route-like map: a group of 10,000 track arcs (straights
// as arcs of very large radius) drawn into a 656 x 465 picture: the scene
// measured before, and a track-like line whole and zoomed in, where most
// arcs lie off the picture.
//
// Three ways are timed in the same run: the renderer as it draws (batched),
// the renderer's plain per-segment way (every arc outlined, a pen per
// segment), and a minimal reference that outlines the same arcs and plots
// the same pixels straight into the picture's memory, without GDI.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "graphics/ShapeOutlines.h"
#include "graphics/ShapePlotter.h"
#include "graphics/Shapes2D.h"
#include "graphics/Shapes2DAccessors.h"
#include "startup/intrinsicClass.h"
#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "strings/string.h"

namespace {

constexpr int32_t kWidth = 656, kHeight = 465;

// A line walked in 25 m segments, every fourth a curve of radius 600 m, the
// rest straights of radius 1e9 m.
//
// The first scene is the one measured before: every arc on the far side of
// its circle (its start angle half a turn off), so the straights lie
// millions of pixels off the picture, and all curves of one hand. The
// track-like scene starts each arc where the walk is, turns its curves
// right and left in turn (left-hand ones with negative arc angles), and is
// fitted into the picture, then zoomed about its middle.
enum class Route { kFarSide, kTrack };

ObjectHeader* BuildRoute(Route route, double zoom) {
    StringHandle groupName("Group2D"), arcName("ArcShape");
    ClassRecord* groupClass = RuntimeLookupClass(groupName.Get());
    ClassRecord* arcClass = RuntimeLookupClass(arcName.Get());
    ObjectHeader* group = RuntimeNewObject(groupClass);
    double x = 0, y = 0, heading = 0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int i = 0; i < 10000; ++i) {
        double radius = i % 4 == 0 ? 600 : 1e9;
        double hand = route == Route::kTrack && (i / 160) % 2 != 0 ? -1 : 1;
        double sweep = 25 / radius;
        ObjectHeader* arc = RuntimeNewObject(arcClass);
        ArcShapeObject* a = reinterpret_cast<ArcShapeObject*>(arc);
        // Centre to the right of the heading for a right-hand curve.
        double cx = x - hand * radius * std::sin(heading), cy = y + hand * radius * std::cos(heading);
        double start = heading - hand * 1.5707963267948966;
        if (route == Route::kFarSide) start += 3.141592653589793;
        a->oval.rect.width = a->oval.rect.height = 2 * radius;
        SetShapePosition(arc, cx, cy);
        ArcStartAngleSetter(arc, 124, start);
        a->arcAngle = hand * sweep;
        doublePercentSetter(arc, 76, 0);
        doublePercentSetter(arc, 84, 100);
        a->oval.rect.base.borderColor = 0xFFFFFF;
        Group2DAppend(group, arc);
        RuntimeUnlockObject(arc);
        heading += hand * sweep;
        x = cx + hand * radius * std::sin(heading);
        y = cy - hand * radius * std::cos(heading);
        minX = std::fmin(minX, x), maxX = std::fmax(maxX, x), minY = std::fmin(minY, y), maxY = std::fmax(maxY, y);
    }
    double scale = 656.0 / 250000.0;
    if (route == Route::kTrack) {
        scale = std::fmin((kWidth - 20) / (maxX - minX), (kHeight - 20) / (maxY - minY));
        // The middle as the group's own position: scaling is about it.
        AsShape(group)->x = (minX + maxX) / 2;
        AsShape(group)->y = (minY + maxY) / 2;
    }
    scale *= zoom;
    GroupObject* g = reinterpret_cast<GroupObject*>(group);
    for (int32_t i = 0; i < g->count; ++i) AsShape(g->members[i])->borderWidth = 1 / scale;
    Object2DDoubleSetter(group, kShapeScaleAt, scale);
    if (route == Route::kTrack) SetShapePosition(group, kWidth / 2.0, kHeight / 2.0);
    else SetShapePosition(group, 20, 232);
    return group;
}

PixelMap* MapOf(ObjectHeader* picture) {
    PixelMap* map = nullptr;
    std::memcpy(&map, reinterpret_cast<uint8_t*>(picture) + kPictureMapAt, sizeof map);
    return map;
}

void Plot(PixelMap* map, int32_t x, int32_t y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < map->width && y < map->height) map->pixels[y * map->width + x] = colour;
}

// A line without its last pixel, as GDI draws it.
void PlotLine(PixelMap* map, POINT a, POINT b, uint32_t colour) {
    int32_t dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    int32_t sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1, err = dx + dy;
    while (a.x != b.x || a.y != b.y) {
        Plot(map, a.x, a.y, colour);
        int32_t e2 = 2 * err;
        if (e2 >= dy) err += dy, a.x += sx;
        if (e2 <= dx) err += dx, a.y += sy;
    }
}

int32_t Round(double v) { return int32_t(v + 0.5); }

// The reference: each arc's outline, rounded, plotted into the pixels.
void DrawReference(ObjectHeader* group, PixelMap* map, PointList& points) {
    GroupObject* g = reinterpret_cast<GroupObject*>(group);
    for (int32_t i = 0; i < g->count; ++i) {
        const ArcShapeObject* a = reinterpret_cast<const ArcShapeObject*>(g->members[i]);
        ArcOutline(a, points);
        uint32_t colour = a->oval.rect.base.borderColor & 0xFFFFFFu;
        POINT at{Round(points[0].x), Round(points[0].y)};
        for (size_t k = 1; k + 1 < points.size(); ++k) {
            POINT p{Round(points[k].x), Round(points[k].y)};
            if (p.x == at.x && p.y == at.y) continue;
            PlotLine(map, at, p, colour);
            at = p;
        }
    }
}

struct Work {
    int64_t points = 0;    // outline points the per-segment way computes
    int64_t segments = 0;  // lines it draws, each with a pen of its own
    int32_t onePixel = 0, offPicture = 0;
    int64_t batchedPoints = 0;  // outline points of the arcs left to the batched way
};

// The work of a frame: what the per-segment way computes and draws, the arcs
// whose box alone shows that they paint nothing (one pixel, or off the
// picture; the renderer's own test also counts pen and origin), and the
// points left to compute.
Work CountWork(ObjectHeader* group, PointList& points) {
    Work w;
    GroupObject* g = reinterpret_cast<GroupObject*>(group);
    for (int32_t i = 0; i < g->count; ++i) {
        const ArcShapeObject* a = reinterpret_cast<const ArcShapeObject*>(g->members[i]);
        ArcOutline(a, points);
        w.points += int64_t(points.size());
        POINT at{Round(points[0].x), Round(points[0].y)};
        for (size_t k = 1; k + 1 < points.size(); ++k) {
            POINT p{Round(points[k].x), Round(points[k].y)};
            if (p.x != at.x || p.y != at.y) ++w.segments;
            at = p;
        }
        ShapeBox box;
        if (ArcBounds(a, &box)) {
            int32_t l = Round(box.minX), t = Round(box.minY), r = Round(box.maxX), b = Round(box.maxY);
            if (l == r && t == b) {
                ++w.onePixel;
                continue;
            }
            if (r + 3 < 0 || b + 3 < 0 || l - 3 >= kWidth || t - 3 >= kHeight) {
                ++w.offPicture;
                continue;
            }
        }
        w.batchedPoints += int64_t(points.size());
    }
    return w;
}

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

template <typename Draw>
double MsPerFrame(int frames, Draw draw) {
    double t0 = Now();
    for (int i = 0; i < frames; ++i) draw();
    GdiFlush();
    return (Now() - t0) / frames;
}

int32_t Differences(const PixelMap* a, const PixelMap* b) {
    int32_t n = 0;
    for (int32_t i = 0; i < a->width * a->height; ++i) n += (a->pixels[i] & 0xFFFFFFu) != (b->pixels[i] & 0xFFFFFFu);
    return n;
}

int32_t Lit(const PixelMap* a) {
    int32_t n = 0;
    for (int32_t i = 0; i < a->width * a->height; ++i) n += (a->pixels[i] & 0xFFFFFFu) != 0;
    return n;
}

struct Canvas {
    Canvas() : picture(newPicture(kWidth, kHeight, 32)), graphics(pictureGraphicsGetter(picture, 0)) {
        PixelMap* map = MapOf(picture);
        std::fill(map->pixels, map->pixels + kWidth * kHeight, 0u);  // black, as the map is
    }
    ~Canvas() {
        RuntimeUnlockObject(graphics);
        RuntimeUnlockObject(picture);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    DrawingContext* dc() const { return GraphicsDrawingContext(graphics); }
    PixelMap* map() const { return MapOf(picture); }
    ObjectHeader* picture;
    ObjectHeader* graphics;
};

void RunScene(const char* name, Route route, double zoom) {
    ObjectHeader* group = BuildRoute(route, zoom);
    PointList points;
    Work work = CountWork(group, points);
    Canvas batched, perSegment, reference;

    DrawShapeTree(batched.dc(), group, 0, 0, ShapeDrawing::kBatched);  // warm-up: device context
    double fast = MsPerFrame(5, [&] { DrawShapeTree(batched.dc(), group, 0, 0, ShapeDrawing::kBatched); });
    double plain = MsPerFrame(2, [&] { DrawShapeTree(perSegment.dc(), group, 0, 0, ShapeDrawing::kPerSegment); });
    double floor = MsPerFrame(2, [&] { DrawReference(group, reference.map(), points); });

    std::printf("%s (10000 arcs, %d x %d, %d pixels lit):\n", name, kWidth, kHeight, Lit(batched.map()));
    std::printf("  batched      %9.1f ms per frame   %6.3f x reference\n", fast, fast / floor);
    std::printf("  per segment  %9.1f ms per frame   %6.3f x reference   (batched is %.1f times faster)\n", plain,
                plain / floor, plain / fast);
    std::printf("  reference    %9.1f ms per frame   (outlines plotted into the picture's memory)\n", floor);
    std::printf("  work per frame: per segment %lld outline points and %lld lines, each with its own pen;\n"
                "    batched: %d arcs ruled out by their box (%d on one pixel, %d off the picture),"
                " %lld outline points left\n",
                static_cast<long long>(work.points), static_cast<long long>(work.segments),
                work.onePixel + work.offPicture, work.onePixel, work.offPicture,
                static_cast<long long>(work.batchedPoints));
    std::printf("  pixels: batched vs per segment %d differ, batched vs reference %d differ\n",
                Differences(batched.map(), perSegment.map()), Differences(batched.map(), reference.map()));
    RuntimeUnlockObject(group);
}

}  // namespace

int main() {
    RuntimeInitProcessState(GetModuleHandleA(nullptr));
    BuildIntrinsicDefinitions();
    std::printf("shapes_bench\n");
    RunScene("scene measured before", Route::kFarSide, 1);
    RunScene("track-like, whole line", Route::kTrack, 1);
    RunScene("track-like, zoomed 20 times", Route::kTrack, 20);
    return 0;
}
