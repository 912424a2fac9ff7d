// The walk of a small route: every segment and mark with its position,
// colour and text; the skip phase; the end of the walk when the text runs
// out; numbers beyond what the walk can hold.
#include "routeviewer/CurveRail.h"
#include "routeviewer/MapMarks.h"
#include "routeviewer/MapShapes.h"
#include "routeviewer/RouteWalk.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteChecks.h"
#include "tests/route/ShapeView.h"

namespace {

using namespace orvane::shape;
using check::D;
using check::I;
using check::Member;

// The track by the closed form, independent of CurveRail.
struct Pose {
    double x, y, t;
    void Advance(double length, double radius) {
        const double f = length / radius;
        x += radius * (RuntimeSin(t + f) - RuntimeSin(t));
        y += radius * (RuntimeCos(t) - RuntimeCos(t + f));
        t += f;
    }
};

constexpr double kTol = 1e-6;

class Expect {
public:
    Expect(ObjectHeader* group, ObjectHeader* measure) : group_(group), measure_(measure) {}
    int32_t Index() const { return i_; }

    void Rail(const Pose& start, double length, double radius) {
        ObjectHeader* o = Next(route::CurveRailClass(), L("a segment"));
        if (!o) return;
        const route::CurveRailObject* r = route::AsRail(o);
        check::Near(r->startX, start.x, kTol, L("segment start x"));
        check::Near(r->startY, start.y, kTol, L("segment start y"));
        check::Near(r->startDirection, start.t, 1e-12, L("segment start direction"));
        check::Near(r->length, length, 0, L("segment length"));
        check::Near(r->radius, radius, 0, L("segment radius"));
        Pose end = start;
        end.Advance(length, radius);
        check::Near(r->endX, end.x, kTol, L("segment end x"));
        check::Near(r->endY, end.y, kTol, L("segment end y"));
        check::Equal(int32_t(r->borderColor), route::kTrackColor, L("segment colour"));
        check::Near(r->borderWidth, 1, 0, L("segment border width 1 / scale"));
    }

    void Line(int32_t color, double x1, double y1, double x2, double y2) {
        ObjectHeader* o = Next(route::SuperFigureShapeClass(), L("a mark line"));
        if (!o) return;
        check::Equal(I(o, kBorderColorAt), color, L("mark line colour"));
        check::Near(D(o, kBorderWidthAt), 0.0001, 0, L("mark line border width"));
        check::Equal(check::MemberCount(o), 1, L("one line per mark figure"));
        ObjectHeader* c = Member(o, 0);
        if (!c) return;
        // The line's coordinates went through Single.
        check::Near(D(c, kXAt), float(x1), 1e-3, L("mark line x1"));
        check::Near(D(c, kYAt), float(y1), 1e-3, L("mark line y1"));
        check::Near(D(c, kCurveX2At), float(x2), 1e-3, L("mark line x2"));
        check::Near(D(c, kCurveY2At), float(y2), 1e-3, L("mark line y2"));
    }

    // x and y before the label's half width is applied: dir is the sign
    // factor of the width (+1, -1 or 0).
    void Label(int32_t color, StringValue* text, double x, double dir, double y, bool bold) {
        ObjectHeader* o = Next(route::StringShapeClass(), L("a label"));
        if (!o) return;
        check::Equal(I(o, kFillColorAt), color, L("label colour"));
        route::Text got = route::Text::Adopt(stringGetter(o, kTextAt));
        check::SameText(got.Get(), text, L("label text"));
        const double w = RuntimeGraphicsStringWidth(measure_, text);
        check::True(w > 0 || !text, L("label measured"));
        check::Near(D(o, kXAt), x + w / 2 * dir, kTol, L("label x"));
        check::Near(D(o, kYAt), y, kTol, L("label y"));
        check::Near(D(o, kTextSizeAt), 10, 0, L("label text size 10 / scale"));
        check::Equal(boolGetter(o, kBoldAt) != 0, bold, L("label bold"));
    }

private:
    ObjectHeader* Next(ClassRecord* cls, StringValue* what) {
        ObjectHeader* o = Member(group_, i_++);
        if (!check::True(o && o->classPtr == cls, route::Join(what, L(" expected here")).Get())) return nullptr;
        return o;
    }
    ObjectHeader* group_;
    ObjectHeader* measure_;
    int32_t i_ = 0;
};

route::WalkInputs Inputs(ObjectHeader* measure, StringValue* start) {
    route::WalkInputs in;
    in.freeObj = true;
    in.scaleValue = 0;  // one pixel per metre: group coordinates are pixels
    in.startDistanceText = start;
    in.startDirectionText = L("0");
    in.startX = 50;
    in.startY = 259;
    in.measure = measure;
    return in;
}

StringValue* SmallRoute() {
    return L("0,.sta 始点;\r\n100,.curve 400;0\r\n300,.limit 80;\r\n400,.pitch 10\r\n500,.freeobj 0;1;4;0;\r\n"
             "600,.Curve -200;0\r\n650,Track.Pitch -5;\r\n700,.STA 終点;\r\n");
}

constexpr int32_t kGreen = route::Rgb(0, 255, 0);
constexpr int32_t kCyan = route::Rgb(0, 255, 255);
constexpr int32_t kRed = route::Rgb(255, 0, 0);
constexpr int32_t kDarkRed = route::Rgb(192, 0, 0);
constexpr int32_t kOrange = route::kTrackColor;
constexpr double kPi = route::kPi;

double Sgn(double v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

void Station(Expect& e, const Pose& p, StringValue* name, StringValue* distance) {
    const double a = p.t - kPi / 2;
    const double px = p.x - RuntimeCos(a) * 10, py = p.y - RuntimeSin(a) * 10;
    e.Line(kGreen, p.x, p.y, px, py);
    e.Line(kGreen, px, py, px + RuntimeCos(p.t) * 30, py + RuntimeSin(p.t) * 30);
    e.Label(kGreen, name, px, 1, py + 10, false);
    e.Label(kGreen, distance, px, 1, py + 20, false);
}

void Curve(Expect& e, const Pose& p, StringValue* text) {
    const double a = p.t - kPi / 2, dx = RuntimeCos(a) * 7, dy = RuntimeSin(a) * 7;
    e.Line(kOrange, p.x, p.y, p.x + dx, p.y + dy);
    e.Label(kOrange, text, p.x + dx, Sgn(dx), p.y + dy + 5 + 5 * Sgn(dy), false);
}

void Gradient(Expect& e, const Pose& p, StringValue* text, StringValue* height) {
    const double a = p.t - kPi / 2, dx = RuntimeCos(a) * 7, dy = RuntimeSin(a) * 7;
    e.Line(kRed, p.x, p.y, p.x - dx, p.y - dy);
    e.Label(kRed, text, p.x - dx, -Sgn(dx), p.y - dy - 10 * Sgn(dy), false);
    e.Label(kDarkRed, height, p.x - dx, -Sgn(dx), p.y - dy + 8 - 10 * Sgn(dy), false);
}

void SmallRouteChecks(ObjectHeader* measure) {
    check::Section(L("walk of a small route"));
    route::WalkInputs in = Inputs(measure, L("0"));
    route::Object group = route::DrawRoute(SmallRoute(), in);
    check::Equal(check::MemberCount(group.Get()), 30, L("shapes in the group"));
    check::Near(D(group.Get(), kScaleAt), 1, 0, L("group scale"));
    Expect e(group.Get(), measure);
    const double straight = 99999999;
    Pose p{50, 259, 0};
    e.Rail(p, 0, straight);  // closing at the first station
    Station(e, p, L("始点"), L("0"));
    e.Rail(p, 100, straight);
    p.Advance(100, straight);
    Curve(e, p, L("400"));
    e.Rail(p, 200, 400);
    p.Advance(200, 400);
    {
        const double a = p.t - kPi / 2, dx = -RuntimeCos(a) * 26, dy = -RuntimeSin(a) * 26;
        e.Line(kCyan, p.x, p.y, p.x + dx, p.y + dy);
        e.Label(kCyan, L("80"), p.x + dx, Sgn(dx), p.y + dy + 5 + 5 * Sgn(dy), true);
    }
    e.Rail(p, 100, 400);
    p.Advance(100, 400);
    Gradient(e, p, L("10"), L("0.00"));
    e.Rail(p, 100, 400);
    p.Advance(100, 400);
    {
        const double b = p.t + kPi / 2, cx = p.x - RuntimeCos(b) * 4, cy = p.y - RuntimeSin(b) * 4;
        e.Line(kRed, cx - 2, cy, cx + 2, cy);
        e.Line(kRed, cx, cy - 2, cx, cy + 2);
    }
    e.Rail(p, 100, 400);
    p.Advance(100, 400);
    Curve(e, p, L("-200"));
    e.Rail(p, 50, -200);
    p.Advance(50, -200);
    Gradient(e, p, L("-5"), L("2.50"));  // 250 m at 10 per mille
    e.Rail(p, 50, -200);
    p.Advance(50, -200);
    Station(e, p, L("終点"), L("700"));
    check::Equal(e.Index(), 30, L("every shape checked"));
}

void SwitchChecks(ObjectHeader* measure) {
    check::Section(L("walk switches"));
    route::WalkInputs in = Inputs(measure, L("0"));
    in.curve = in.pitch = in.limit = in.sta = in.freeObj = false;
    route::Object group = route::DrawRoute(SmallRoute(), in);
    // Only the two curves close segments; their marks are off.
    check::Equal(check::MemberCount(group.Get()), 2, L("curves shape the track with every switch off"));
    Expect e(group.Get(), measure);
    Pose p{50, 259, 0};
    e.Rail(p, 100, 99999999);
    p.Advance(100, 99999999);
    e.Rail(p, 500, 400);
}

void SkipChecks(ObjectHeader* measure) {
    check::Section(L("skip phase"));
    route::WalkInputs in = Inputs(measure, L("350"));
    in.freeObj = false;
    route::Object group = route::DrawRoute(SmallRoute(), in);
    Expect e(group.Get(), measure);
    // The curve at 100 turned the heading by 100 m of straight; the first
    // drawn segment starts at the start point, from the start distance.
    Pose p{50, 259, 100 / 99999999.0};
    e.Rail(p, 50, 400);
    p.Advance(50, 400);
    Gradient(e, p, L("10"), L("0.00"));

    check::Section(L("the walk ends when the text runs out"));
    route::Object beyond = route::DrawRoute(SmallRoute(), Inputs(measure, L("100000")));
    check::True(beyond && check::MemberCount(beyond.Get()) == 0, L("start beyond the last statement: empty map"));
    route::Object empty = route::DrawRoute(nullptr, Inputs(measure, L("5")));
    check::True(empty && check::MemberCount(empty.Get()) == 0, L("empty route, positive start: empty map"));
    route::Object tail = route::DrawRoute(L("100,.curve 50;0\r\n200,.pitch 3"), Inputs(measure, L("500")));
    check::True(tail && check::MemberCount(tail.Get()) == 0, L("a last line without CR LF ends the skip phase"));
}

bool Finite(double v) { return v == v && v < 1e300 && v > -1e300; }

void HugeNumberChecks(ObjectHeader* measure) {
    check::Section(L("numbers beyond the 32-bit range"));
    route::WalkInputs in = Inputs(measure, L("-1e999"));
    in.startDirectionText = L("1e999");
    route::Object group = route::DrawRoute(
        L("1e999,.curve 1e999;0\r\n-1e999,.pitch 1e999\r\n3e9,.sta 遠方;\r\n4e9,.freeobj 0;1;1e999;0;\r\n"
          "nan,.limit 1e999;\r\n-3e9,.curve -1e999;0\r\n5,.pitch -1e999\r\n"),
        in);
    const int32_t n = check::MemberCount(group.Get());
    check::True(n > 10, L("the map of such a route is drawn"));
    bool finite = true;
    for (int32_t i = 0; i < n; ++i) {
        ObjectHeader* o = Member(group.Get(), i);
        finite = finite && Finite(D(o, kXAt)) && Finite(D(o, kYAt));
        if (o->classPtr == route::CurveRailClass()) {
            const route::CurveRailObject* r = route::AsRail(o);
            finite = finite && Finite(r->length) && Finite(r->radius) && Finite(r->endX) && Finite(r->endY);
            finite = finite && r->length <= 4294967295.0 && r->length >= -4294967295.0;
        }
    }
    check::True(finite, L("every position, length and radius is a finite number"));
    // The station at 3e9 shows the saturated distance.
    bool saturated = false;
    for (int32_t i = 0; i < n; ++i) {
        ObjectHeader* o = Member(group.Get(), i);
        if (o->classPtr != route::StringShapeClass()) continue;
        route::Text t = route::Text::Adopt(stringGetter(o, kTextAt));
        route::Text want = route::Text::Adopt(StringStr(2147483647.0));
        saturated = saturated || (StringLen(t.Get()) == StringLen(want.Get()) && StringInStrB(1, t.Get(), want.Get()) == 1);
    }
    check::True(saturated, L("a distance of 3e9 saturates at 2147483647"));
}

}  // namespace

void WalkChecks(ObjectHeader* measure) {
    SmallRouteChecks(measure);
    SwitchChecks(measure);
    SkipChecks(measure);
    HugeNumberChecks(measure);
}
