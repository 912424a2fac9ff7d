// CurveRail: the computed centre, end point, end heading and shape values
// for a table of start values, and the copy.
#include "routeviewer/CurveRail.h"
#include "routeviewer/MapShapes.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteChecks.h"

namespace {

using route::kPi;

struct GeometryCase {
    double startX, startY, direction, length, radius;
    double centreX, centreY, endX, endY, endDirection, radiusAfter;
};

constexpr double kQuarter = 100 * kPi / 2;

// Start values and what CalculateVertex must give, from the closed form
// centre = S + R (-sin t, cos t), end = S + R (sin(t + f) - sin t, cos t - cos(t + f)).
const GeometryCase kCases[] = {
    // radius 0 is straight: 99999999 m; end within L^2 / 2R of the straight end
    {0, 0, 0, 100, 0, 0, 99999999, 100, 100.0 * 100 / 2 / 99999999, 100 / 99999999.0, 99999999},
    // length 0: no sweep, the end is the start
    {10, 20, 1.0, 0, 500, 10 - 500 * 0.8414709848078965, 20 + 500 * 0.5403023058681398, 10, 20, 1.0, 500},
    // a quarter turn clockwise on the screen
    {0, 0, 0, kQuarter, 100, 0, 100, 100, 100, kPi / 2, 100},
    // the same with a negative radius turns the other way
    {0, 0, 0, kQuarter, -100, 0, -100, 100, -100, -kPi / 2, -100},
    // a negative length sweeps backwards
    {0, 0, 0, -kQuarter, 100, 0, 100, -100, 100, -kPi / 2, 100},
    // heading down the screen, offset start
    {50, 40, kPi / 2, kQuarter, 100, -50, 40, -50, 140, kPi, 100},
    // a general case
    {3, -7, 0.7, 123, 250, 3 - 250 * 0.644217687237691, -7 + 250 * 0.7648421872844885,
     3 + 250 * (0.9291104297608258 - 0.644217687237691), -7 + 250 * (0.7648421872844885 - 0.36980239224436295),
     0.7 + 123 / 250.0, 250},
};

ObjectHeader* Computed(route::Object& rail, const GeometryCase& c) {
    rail = route::NewCurveRail();
    route::CurveRailObject* r = route::AsRail(rail.Get());
    r->startX = c.startX;
    r->startY = c.startY;
    r->startDirection = c.direction;
    r->length = c.length;
    r->radius = c.radius;
    route::CurveRailCalculateVertex(rail.Get());
    return rail.Get();
}

}  // namespace

void GeometryChecks() {
    check::Section(L("geometry"));
    const int32_t n = int32_t(sizeof kCases / sizeof kCases[0]);
    for (int32_t i = 0; i < n; ++i) {
        const GeometryCase& c = kCases[i];
        route::Object rail;
        const route::CurveRailObject* r = route::AsRail(Computed(rail, c));
        check::Section(route::Join(L("geometry case "), check::Number(i).Get()).Release());
        check::Near(r->radius, c.radiusAfter, 0, L("radius"));
        check::Near(r->x, c.centreX, 1e-6, L("centre x"));
        check::Near(r->y, c.centreY, 1e-6, L("centre y"));
        check::Near(r->endX, c.endX, 1e-6, L("end x"));
        check::Near(r->endY, c.endY, 1e-6, L("end y"));
        check::Near(r->endDirection, c.endDirection, 1e-12, L("end direction"));
        check::Near(r->arcAngle, c.length / c.radiusAfter, 1e-15, L("arc angle"));
        check::Near(r->width, 2 * c.radiusAfter, 0, L("width"));
        check::Near(r->height, 2 * c.radiusAfter, 0, L("height"));
        check::True(r->startAngle >= 0 && r->startAngle < 2 * kPi, L("start angle reduced into [0, 2 pi)"));
        double reduced = c.direction - kPi / 2;
        while (reduced < 0) reduced += 2 * 3.141592653589793;
        check::Near(r->startAngle, reduced, 1e-12, L("start angle"));
        check::Near(r->borderOpacity, 1, 1e-12, L("Border 100"));
        check::Near(r->fillOpacity, 0, 0, L("Fill 0"));
        check::Equal(int32_t(r->borderColor), route::kTrackColor, L("border colour"));
        check::Equal(int32_t(r->fillColor), 0, L("fill colour"));
        check::Near(r->scale, 1, 0, L("scale"));
    }

    check::Section(L("CurveRail members"));
    route::Object fresh = route::NewCurveRail();
    check::Near(route::AsRail(fresh.Get())->radius, 9999999.0, 0, L("constructor radius"));
    check::True(RuntimeObjectIsa(fresh.Get(), route::ArcShapeClass()) != 0, L("a CurveRail is an ArcShape"));

    route::Object rail;
    Computed(rail, kCases[6]);
    route::CurveRailObject* r = route::AsRail(rail.Get());
    r->rotation = 0.25;  // not copied
    route::Object got = route::Object::Adopt(route::CurveRailGetRail(rail.Get()));
    check::True(got.Get() == rail.Get(), L("GetRail returns the receiver"));
    route::Object copy = route::Object::Adopt(route::CurveRailCopy(rail.Get()));
    const route::CurveRailObject* k = route::AsRail(copy.Get());
    check::True(copy.Get() != rail.Get(), L("Copy makes a new object"));
    check::True(k->endDirection == r->endDirection && k->endX == r->endX && k->endY == r->endY &&
                    k->length == r->length && k->radius == r->radius && k->startDirection == r->startDirection &&
                    k->startX == r->startX && k->startY == r->startY,
                L("Copy: the rail's own values"));
    check::True(k->x == r->x && k->y == r->y && k->width == r->width && k->height == r->height &&
                    k->arcAngle == r->arcAngle && k->startAngle == r->startAngle,
                L("Copy: centre, size and sweep"));
    check::True(k->borderColor == r->borderColor && k->fillColor == r->fillColor &&
                    k->borderOpacity == r->borderOpacity && k->fillOpacity == r->fillOpacity &&
                    k->borderWidth == r->borderWidth,
                L("Copy: colours, border and fill"));
    check::Near(k->rotation, 0, 0, L("Copy: Rotation keeps the new object's value"));
    r->startX = 999;
    route::CurveRailCalculateVertex(rail.Get());
    check::True(k->startX == 3 && k->x != r->x, L("changing the rail leaves the copy alone"));
}
