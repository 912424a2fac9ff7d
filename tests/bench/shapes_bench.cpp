// Time per frame of a route-like map: a group of 10,000 track arcs (straights
// as arcs of very large radius) drawn into a 656 x 465 picture.
#include <windows.h>

#include <cmath>
#include <cstdio>

#include "graphics/Picture.h"
#include "graphics/ShapePlotter.h"
#include "graphics/Shapes2D.h"
#include "graphics/Shapes2DAccessors.h"
#include "startup/intrinsicClass.h"
#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "strings/string.h"

int main() {
    RuntimeInitProcessState(GetModuleHandleA(nullptr));
    BuildIntrinsicDefinitions();
    StringHandle groupName("Group2D"), arcName("ArcShape");
    ClassRecord* groupClass = RuntimeLookupClass(groupName.Get());
    ClassRecord* arcClass = RuntimeLookupClass(arcName.Get());
    ObjectHeader* group = RuntimeNewObject(groupClass);

    // A line walked in 25 m segments, every fourth a curve of radius 600 m,
    // the rest straights of radius 1e9 m; the group scale fits 250 km onto the picture.
    const double scale = 656.0 / 250000.0;
    double x = 0, y = 0, heading = 0;
    for (int i = 0; i < 10000; ++i) {
        double radius = i % 4 == 0 ? 600 : 1e9;
        double sweep = 25 / radius;
        ObjectHeader* arc = RuntimeNewObject(arcClass);
        ArcShapeObject* a = reinterpret_cast<ArcShapeObject*>(arc);
        // Centre to the right of the heading; the track starts at angle heading - pi/2 from it.
        double cx = x - radius * std::sin(heading), cy = y + radius * std::cos(heading);
        a->oval.rect.width = a->oval.rect.height = 2 * radius;
        SetShapePosition(arc, cx, cy);
        ArcStartAngleSetter(arc, 124, heading - 1.5707963267948966 + 3.141592653589793);
        a->arcAngle = sweep;
        doublePercentSetter(arc, 76, 0);
        doublePercentSetter(arc, 84, 100);
        a->oval.rect.base.borderWidth = 1 / scale;
        a->oval.rect.base.borderColor = 0xFFFFFF;
        Group2DAppend(group, arc);
        RuntimeUnlockObject(arc);
        heading += sweep;
        x = cx + radius * std::sin(heading);
        y = cy - radius * std::cos(heading);
    }
    Object2DDoubleSetter(group, kShapeScaleAt, scale);
    SetShapePosition(group, 20, 232);

    ObjectHeader* picture = newPicture(656, 465, 32);
    ObjectHeader* graphics = pictureGraphicsGetter(picture, 0);
    const int frames = 5;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    RuntimeGraphicsDrawObjectXY(graphics, group, 0, 0);  // warm-up: fonts, device context
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < frames; ++i) RuntimeGraphicsDrawObjectXY(graphics, group, 0, 0);
    GdiFlush();
    QueryPerformanceCounter(&t1);
    double ms = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(f.QuadPart) / frames;
    std::printf("shapes_bench: 10000 arcs, 656 x 465: %.1f ms per frame\n", ms);
    RuntimeUnlockObject(graphics);
    RuntimeUnlockObject(picture);
    RuntimeUnlockObject(group);
    return 0;
}
