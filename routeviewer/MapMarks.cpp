#include "routeviewer/MapMarks.h"

#include "orvane/classbuild.h"
#include "orvane/literal.h"
#include "routeviewer/CurveRail.h"
#include "routeviewer/MapShapes.h"
#include "routeviewer/RouteText.h"

namespace route {

namespace {

ORVANE_LITERAL(kSuperFigureShapeName, "SuperFigureShape");
ORVANE_LITERAL(kConstructorSignature, "SuperFigureShape%%");
ORVANE_LITERAL(kHeightFormat, "0.00");

ClassRecord* gSuperFigureShape;

using namespace orvane::shape;

constexpr int32_t kLimitColor = Rgb(0, 255, 255);
constexpr int32_t kGradientColor = Rgb(255, 0, 0);
constexpr int32_t kHeightColor = Rgb(192, 0, 0);
constexpr int32_t kStationColor = Rgb(0, 255, 0);
constexpr int32_t kCrossColor = Rgb(255, 0, 0);

// v / |v|; 0 for 0 (and NaN), so a label on an axis-parallel line stays centred.
double Sign(double v) { return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0; }

double Width(const MarkTarget& t, StringValue* text) {
    return double(t.widths ? t.widths->Width(text) : RuntimeGraphicsStringWidth(t.measure, text));
}

void AddLine(const MarkTarget& t, int32_t color, double x1, double y1, double x2, double y2) {
    Object figure = NewShape(SuperFigureShapeClass());
    if (!figure) return;
    SuperFigureShapeConstructor(figure.Get());
    SetInt(figure.Get(), kBorderColorAt, color);
    FigureShapeAddLine(figure.Get(), float(x1), float(y1), float(x2), float(y2));
    AppendToGroup(t.group, figure.Get());
}

void AddLabel(const MarkTarget& t, int32_t color, StringValue* text, double x, double y, bool bold) {
    Object label = NewShape(StringShapeClass());
    if (!label) return;
    ObjectHeader* s = label.Get();
    SetInt(s, kFillColorAt, color);
    doubleSetter(s, kTextSizeAt, 10 / t.scale);
    stringSetter(s, kTextAt, text);
    SetDouble(s, kXAt, x);
    SetDouble(s, kYAt, y);
    SetDouble(s, kRotationAt, 0);
    if (bold) boolSetter(s, kBoldAt, 1);
    AppendToGroup(t.group, s);
}

}  // namespace

ClassRecord* SuperFigureShapeClass() {
    if (gSuperFigureShape) return gSuperFigureShape;
    ClassRecord* base = FigureShapeClass();
    if (!base) return nullptr;
    const int32_t m = base->methodCount;
    ClassRecord* c = orvane::NewClass(gSuperFigureShape, base,
                                      {m + 1, base->interfaceCount, base->eventCount, base->staticMethodCount,
                                       base->propertyCount},
                                      ORVANE_STR(kSuperFigureShapeName), base->instanceSize, nullptr, nullptr);
    orvane::SetMethod(c, m, reinterpret_cast<void*>(&SuperFigureShapeConstructor), ORVANE_STR(kConstructorSignature));
    return c;
}

extern "C" void __cdecl SuperFigureShapeConstructor(ObjectHeader* self) {
    if (!self) return;
    SetPercent(self, kBorderAt, 100);
    SetPercent(self, kFillAt, 0);
    doubleSetter(self, kBorderWidthAt, 0.0001);
}

void ChainRail(ObjectHeader* rail) {
    CurveRailObject* r = AsRail(rail);
    r->startDirection = r->endDirection;
    r->startX = r->endX;
    r->startY = r->endY;
}

void AppendRailCopy(ObjectHeader* group, ObjectHeader* rail) {
    Object computed = Object::Adopt(CurveRailGetRail(rail));
    Object copy = Object::Adopt(CurveRailCopy(computed.Get()));
    AppendToGroup(group, copy.Get());
}

void AddLimitMark(const MarkTarget& t, ObjectHeader* rail, StringValue* text) {
    const CurveRailObject* r = AsRail(rail);
    const double s = t.scale, a = r->endDirection - kPi / 2;
    const double dx = -RuntimeCos(a) * 26 / s, dy = -RuntimeSin(a) * 26 / s;
    AddLine(t, kLimitColor, r->endX, r->endY, r->endX + dx, r->endY + dy);
    AddLabel(t, kLimitColor, text, r->endX + dx + (Width(t, text) / 2 / s) * Sign(dx),
             r->endY + dy + 5 / s + (5 / s) * Sign(dy), true);
}

void AddCurveMark(const MarkTarget& t, ObjectHeader* rail, StringValue* text) {
    const CurveRailObject* r = AsRail(rail);
    const double s = t.scale, a = r->endDirection - kPi / 2;
    const double dx = RuntimeCos(a) * 7 / s, dy = RuntimeSin(a) * 7 / s;
    AddLine(t, kTrackColor, r->endX, r->endY, r->endX + dx, r->endY + dy);
    AddLabel(t, kTrackColor, text, r->endX + dx + (Width(t, text) / 2 / s) * Sign(dx),
             r->endY + dy + 5 / s + (5 / s) * Sign(dy), false);
}

void AddGradientMark(const MarkTarget& t, ObjectHeader* rail, StringValue* text, double height) {
    const CurveRailObject* r = AsRail(rail);
    const double s = t.scale, a = r->endDirection - kPi / 2;
    const double dx = RuntimeCos(a) * 7 / s, dy = RuntimeSin(a) * 7 / s;
    AddLine(t, kGradientColor, r->endX, r->endY, r->endX - dx, r->endY - dy);
    AddLabel(t, kGradientColor, text, r->endX - dx - (Width(t, text) / 2 / s) * Sign(dx),
             r->endY - dy + 0 / s - (10 / s) * Sign(dy), false);
    Text u = Text::Adopt(StringFormat(height, ORVANE_STR(kHeightFormat)));
    AddLabel(t, kHeightColor, u.Get(), r->endX - dx - (Width(t, u.Get()) / 2 / s) * Sign(dx),
             r->endY - dy + 8 / s - (10 / s) * Sign(dy), false);
}

void AddStationMark(const MarkTarget& t, ObjectHeader* rail, StringValue* name, int32_t distance) {
    const CurveRailObject* r = AsRail(rail);
    const double s = t.scale, a = r->endDirection - kPi / 2, theta = r->endDirection;
    const double px = r->endX - RuntimeCos(a) * 10 / s, py = r->endY - RuntimeSin(a) * 10 / s;
    AddLine(t, kStationColor, r->endX, r->endY, px, py);
    AddLine(t, kStationColor, px, py, px + RuntimeCos(theta) * 30 / s, py + RuntimeSin(theta) * 30 / s);
    AddLabel(t, kStationColor, name, px + Width(t, name) / 2 / s, py + 10 / s, false);
    Text v = Text::Adopt(StringStr(double(distance)));
    AddLabel(t, kStationColor, v.Get(), px + Width(t, v.Get()) / 2 / s, py + 20 / s, false);
}

void DrawFreeObj(const MarkTarget& t, StringValue* line, ObjectHeader* rail) {
    ChainRail(rail);
    AppendRailCopy(t.group, rail);
    const double o = NthFieldNumber(line, FreeObjKeyword(), 3);
    const CurveRailObject* r = AsRail(rail);
    const double s = t.scale, b = r->endDirection + kPi / 2;
    const double cx = r->endX - RuntimeCos(b) * o, cy = r->endY - RuntimeSin(b) * o;
    AddLine(t, kCrossColor, cx - 2 / s, cy, cx + 2 / s, cy);
    AddLine(t, kCrossColor, cx, cy - 2 / s, cx, cy + 2 / s);
}

}  // namespace route
