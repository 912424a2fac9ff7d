#include "routeviewer/CurveRail.h"

#include "orvane/classbuild.h"
#include "orvane/literal.h"
#include "routeviewer/MapShapes.h"

namespace route {

namespace {

ORVANE_LITERAL(kCurveRailName, "CurveRail");
ORVANE_LITERAL(kGetRailSignature, "GetRail%o<CurveRail>%");
ORVANE_LITERAL(kCalculateVertexSignature, "CalculateVertex%%");
ORVANE_LITERAL(kConstructorSignature, "CurveRail%%");
ORVANE_LITERAL(kCopySignature, "Copy%o<CurveRail>%");
ORVANE_LITERAL(kStartX, "StartX%d%");
ORVANE_LITERAL(kStartY, "StartY%d%");
ORVANE_LITERAL(kLength, "Length%d%");
ORVANE_LITERAL(kEndX, "EndX%d%");
ORVANE_LITERAL(kEndY, "EndY%d%");
ORVANE_LITERAL(kRadius, "Radius%d%");
ORVANE_LITERAL(kStartDirection, "StartDirection%d%");
ORVANE_LITERAL(kEndDirection, "EndDirection%d%");

ClassRecord* gCurveRail;

constexpr double kConstructedRadius = 9999999.0;
constexpr double kStraightRadius = 99999999.0;

using namespace orvane::shape;

}  // namespace

ClassRecord* CurveRailClass() {
    if (gCurveRail) return gCurveRail;
    ClassRecord* base = ArcShapeClass();
    if (!base) return nullptr;
    const int32_t m = base->methodCount, p = base->propertyCount;
    ClassRecord* c = orvane::NewClass(gCurveRail, base,
                                      {m + 4, base->interfaceCount, base->eventCount, base->staticMethodCount, p + 8},
                                      ORVANE_STR(kCurveRailName), kCurveRailSize, nullptr, nullptr);
    orvane::SetMethod(c, m + 0, reinterpret_cast<void*>(&CurveRailGetRail), ORVANE_STR(kGetRailSignature));
    orvane::SetMethod(c, m + 1, reinterpret_cast<void*>(&CurveRailCalculateVertex),
                      ORVANE_STR(kCalculateVertexSignature));
    orvane::SetMethod(c, m + 2, reinterpret_cast<void*>(&CurveRailConstructor), ORVANE_STR(kConstructorSignature));
    orvane::SetMethod(c, m + 3, reinterpret_cast<void*>(&CurveRailCopy), ORVANE_STR(kCopySignature));
    StringValue* const names[8] = {ORVANE_STR(kStartX), ORVANE_STR(kStartY), ORVANE_STR(kLength),
                                   ORVANE_STR(kEndX),   ORVANE_STR(kEndY),   ORVANE_STR(kRadius),
                                   ORVANE_STR(kStartDirection), ORVANE_STR(kEndDirection)};
    for (int32_t i = 0; i < 8; ++i)
        orvane::SetProperty(c, p + i, names[i], kArcShapeSize + 8 * i, orvane::Generic(), orvane::Generic());
    return c;
}

Object NewCurveRail() {
    ClassRecord* c = CurveRailClass();
    Object rail = Object::Adopt(c ? RuntimeNewObject(c) : nullptr);
    if (rail) CurveRailConstructor(rail.Get());
    return rail;
}

extern "C" ObjectHeader* __cdecl CurveRailGetRail(ObjectHeader* self) {
    CurveRailCalculateVertex(self);
    RuntimeLockObject(self);
    return self;
}

extern "C" void __cdecl CurveRailCalculateVertex(ObjectHeader* self) {
    if (!self) return;
    CurveRailObject* r = AsRail(self);
    if (r->radius == 0) r->radius = kStraightRadius;
    const double radius = r->radius;
    const double a = r->startDirection - kPi / 2;
    SetDouble(self, kXAt, r->startX - radius * RuntimeCos(a));
    SetDouble(self, kYAt, r->startY - radius * RuntimeSin(a));
    ArcStartAngleSetter(self, 0, a);
    r->arcAngle = r->length / radius;
    r->width = radius * 2;
    r->height = radius * 2;
    r->endDirection = r->startDirection + r->arcAngle;
    // X, Y and the reduced start angle as the shape holds them.
    r->endX = r->x + radius * RuntimeCos(r->arcAngle + r->startAngle);
    r->endY = r->y + radius * RuntimeSin(r->arcAngle + r->startAngle);
    SetPercent(self, kBorderAt, 100);
    SetPercent(self, kFillAt, 0);
    SetInt(self, kBorderColorAt, kTrackColor);
    SetInt(self, kFillColorAt, 0);
    SetDouble(self, kScaleAt, 1.0);
}

extern "C" void __cdecl CurveRailConstructor(ObjectHeader* self) {
    if (self) AsRail(self)->radius = kConstructedRadius;
}

extern "C" ObjectHeader* __cdecl CurveRailCopy(ObjectHeader* self) {
    if (!self) return nullptr;
    Object copy = NewCurveRail();
    if (!copy) return nullptr;
    const CurveRailObject* from = AsRail(self);
    CurveRailObject* to = AsRail(copy.Get());
    to->endDirection = from->endDirection;
    to->endX = from->endX;
    to->endY = from->endY;
    to->length = from->length;
    to->radius = from->radius;
    to->startDirection = from->startDirection;
    to->startX = from->startX;
    to->startY = from->startY;
    SetDouble(copy.Get(), kXAt, from->x);
    SetDouble(copy.Get(), kYAt, from->y);
    SetInt(copy.Get(), kBorderColorAt, int32_t(from->borderColor));
    to->borderWidth = from->borderWidth;
    SetPercent(copy.Get(), kBorderAt, doublePercentGetter(self, kBorderAt));
    to->width = from->width;
    to->height = from->height;
    to->arcAngle = from->arcAngle;
    ArcStartAngleSetter(copy.Get(), 0, from->startAngle);
    SetPercent(copy.Get(), kFillAt, doublePercentGetter(self, kFillAt));
    SetInt(copy.Get(), kFillColorAt, int32_t(from->fillColor));
    return copy.Release();
}

}  // namespace route
