// Object2D shapes: layouts, defaults, accessors, group storage, the
// transform setters of groups, figures and curves, the hit test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "graphics/PixMapRotate.h"
#include "graphics/ShapePlotter.h"
#include "graphics/ShapeOutlines.h"
#include "graphics/Shapes2D.h"
#include "graphics/Shapes2DAccessors.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/RuntimeObjectFoundation.h"
#include "orvane/exports.h"
#include "strings/string.h"
#include "tests/TestSupport.h"

namespace {

constexpr double kPi = 3.14159265358979323846;



Object2DObject* S(ObjectHeader* o) { return AsShape(o); }
GroupObject* G(ObjectHeader* o) { return reinterpret_cast<GroupObject*>(o); }
CurveShapeObject* C(ObjectHeader* o) { return reinterpret_cast<CurveShapeObject*>(o); }

// A new shape of the class; the handle owns the creating reference.
class Shape : public ObjectHandle {
public:
    explicit Shape(const char* className) : ObjectHandle(Adopt(NewObjectOf(className))) {}
    ObjectHeader* get() const { return Get(); }
    operator ObjectHeader*() const { return Get(); }
};

struct Raised {
    int count = 0;
    ClassRecord* cls = nullptr;
};

// Runs fn behind a protected call; returns what was raised.
template <typename F>
Raised Catch(F fn) {
    struct Ctx {
        F* fn;
    } ctx{&fn};
    ObjectHeader* e = ProtectedCall([](void* c) { (*static_cast<Ctx*>(c)->fn)(); }, &ctx);
    Raised r;
    if (e) {
        r.count = 1;
        r.cls = e->classPtr;
        RuntimeUnlockObject(e);
    }
    return r;
}

class ShapesTest : public ::testing::Test {
protected:
    void SetUp() override { live_ = RuntimeLiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(RuntimeLiveObjectCount(), live_) << "objects leaked or freed twice"; }
    int32_t live_ = 0;
};

// ---- Classes and layouts ---------------------------------------------------------------

TEST_F(ShapesTest, ClassesHaveTheirSizesTagsAndSuperclasses) {
    struct Row {
        const char* name;
        const char* base;
        int32_t size;
        uint32_t tag;
    };
    const Row rows[] = {
        {"Object2D", nullptr, 100, 0x6F623244},     {"RectShape", "Object2D", 116, 0x72656374},
        {"RoundRectShape", "RectShape", 136, 0x726F756E}, {"OvalShape", "RectShape", 124, 0x6F76616C},
        {"ArcShape", "OvalShape", 140, 0x61726320},  {"PixmapShape", "RectShape", 136, 0x70697820},
        {"StringShape", "Object2D", 120, 0x7374726E}, {"CurveShape", "Object2D", 156, 0x63757276},
        {"Group2D", "Object2D", 116, 0x67727570},    {"FigureShape", "Object2D", 116, 0x66696772},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ClassRecord* cls = ClassNamed(r.name);
        ASSERT_NE(cls, nullptr);
        EXPECT_EQ(cls->instanceSize, r.size);
        EXPECT_EQ(cls->base, r.base ? ClassNamed(r.base) : nullptr);
        Shape s(r.name);
        uint32_t tag;
        std::memcpy(&tag, reinterpret_cast<uint8_t*>(s.get()) + 28, 4);
        EXPECT_EQ(tag, r.tag);
    }
}

TEST_F(ShapesTest, ModuleSubclassOfArcKeepsTheArcTagAndLayout) {
    ClassRecord* arc = ClassNamed("ArcShape");
    ClassRecord* rail = RuntimeNewClass(arc, arc->methodCount, arc->interfaceCount, arc->eventCount,
                                        arc->staticMethodCount, arc->propertyCount);
    ASSERT_NE(rail, nullptr);
    rail->instanceSize = 140 + 16;
    ObjectHeader* o = RuntimeNewObject(rail);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(ShapeTag(o), kTagArcShape);
    EXPECT_DOUBLE_EQ(reinterpret_cast<ArcShapeObject*>(o)->arcAngle, kPi / 2);
    EXPECT_DOUBLE_EQ(reinterpret_cast<RectShapeObject*>(o)->width, 100.0);
    RuntimeUnlockObject(o);
}

TEST_F(ShapesTest, PropertyRowsNameTheirAccessorsAndOffsets) {
    ClassRecord* arc = ClassNamed("ArcShape");
    ASSERT_NE(arc, nullptr);
    struct Want {
        const char* declaration;
        int32_t parameter;
        void* setter;
    };
    // Object2D's nine, RectShape's two, OvalShape's one, then ArcShape's.
    ASSERT_EQ(arc->propertyCount, 9 + 2 + 1 + 2);
    const Want want[] = {
        {"X%d", 44, Fn(Object2DDoubleSetter)},        {"Y%d", 52, Fn(Object2DDoubleSetter)},
        {"Rotation%d", 60, Fn(Object2DDoubleSetter)}, {"Scale%d", 68, Fn(Object2DDoubleSetter)},
        {"Fill%d", 76, Fn(doublePercentSetter)},      {"Border%d", 84, Fn(doublePercentSetter)},
    };
    for (size_t i = 0; i < sizeof(want) / sizeof(want[0]); ++i) {
        EXPECT_STREQ(StringText(arc->properties[i].declaration), want[i].declaration);
        EXPECT_EQ(arc->properties[i].parameter, want[i].parameter);
        EXPECT_EQ(arc->properties[i].setter, want[i].setter);
    }
    EXPECT_STREQ(StringText(arc->properties[12].declaration), "StartAngle%d");
    EXPECT_EQ(arc->properties[12].parameter, 124);
    EXPECT_EQ(arc->properties[12].setter, Fn(ArcStartAngleSetter));
    EXPECT_EQ(arc->properties[12].getter, GenericAccessorNamed("doubleGetter"));
}

// ---- Defaults and accessors --------------------------------------------------------------

TEST_F(ShapesTest, NewShapesReportTheirDefaults) {
    Shape o("Object2D");
    EXPECT_DOUBLE_EQ(doublePercentGetter(o, 76), 100);
    EXPECT_DOUBLE_EQ(doublePercentGetter(o, 84), 0);
    EXPECT_DOUBLE_EQ(S(o)->scale, 1);
    EXPECT_DOUBLE_EQ(S(o)->borderWidth, 1);
    EXPECT_EQ(S(o)->fillColor, 0u);

    Shape c("CurveShape");
    EXPECT_DOUBLE_EQ(doublePercentGetter(c, 76), 0);
    EXPECT_DOUBLE_EQ(doublePercentGetter(c, 84), 100);
    EXPECT_DOUBLE_EQ(C(c)->x2, 100);
    EXPECT_DOUBLE_EQ(C(c)->y2, 100);

    Shape a("ArcShape");
    EXPECT_NEAR(reinterpret_cast<ArcShapeObject*>(a.get())->arcAngle, 1.5708, 1e-4);

    Shape s("StringShape");
    StringShapeObject* ss = reinterpret_cast<StringShapeObject*>(s.get());
    EXPECT_STREQ(StringText(ss->text), "-");
    EXPECT_STREQ(StringText(ss->textFont), "System");
    EXPECT_DOUBLE_EQ(ss->textSize, 12);

    Shape g("Group2D");
    EXPECT_EQ(G(g)->growthStep, 16);
    EXPECT_EQ(Group2DCount(g, 0), 0);
}

TEST_F(ShapesTest, PercentAccessorsScaleWithoutClamping) {
    Shape o("Object2D");
    doublePercentSetter(o, 76, 150);
    EXPECT_DOUBLE_EQ(S(o)->fillOpacity, 1.5);
    doublePercentSetter(o, 84, -20);
    EXPECT_DOUBLE_EQ(doublePercentGetter(o, 84), -20);
}

TEST_F(ShapesTest, StartAngleIsKeptInZeroToTwoPi) {
    Shape a("ArcShape");
    auto start = [&] { return reinterpret_cast<ArcShapeObject*>(a.get())->startAngle; };
    ArcStartAngleSetter(a, 124, -kPi / 2);
    EXPECT_NEAR(start(), 3 * kPi / 2, 1e-12);
    ArcStartAngleSetter(a, 124, 7);
    EXPECT_NEAR(start(), 7 - 2 * kPi, 1e-12);
    ArcStartAngleSetter(a, 124, -1e-300);
    EXPECT_GE(start(), 0);
    EXPECT_LT(start(), 2 * kPi);
    ArcStartAngleSetter(a, 124, NAN);  // stored as it comes, no trap
    ArcStartAngleSetter(a, 124, INFINITY);
}

TEST_F(ShapesTest, CurveOrderAndControlPointsCheckTheirIndex) {
    Shape c("CurveShape");
    CurveOrderSetter(c, 148, 2);
    EXPECT_EQ(C(c)->order, 2);
    Raised r = Catch([&] { CurveOrderSetter(c, 148, 3); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());
    EXPECT_EQ(C(c)->order, 2) << "nothing stored";

    CurveSetControlX(c, 1, 5.5);
    CurveSetControlY(c, 0, -2);
    EXPECT_DOUBLE_EQ(CurveGetControlX(c, 1), 5.5);
    EXPECT_DOUBLE_EQ(CurveGetControlY(c, 0), -2);
    double got = 1;
    r = Catch([&] { got = CurveGetControlX(c, 2); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());
    EXPECT_EQ(got, 0);
    r = Catch([&] { CurveSetControlY(c, -1, 9); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());
}

// ---- Groups -----------------------------------------------------------------------------------

TEST_F(ShapesTest, GroupHoldsOneReferencePerAppend) {
    Shape g("Group2D");
    Shape r("RectShape");
    Group2DAppend(g, r);
    Group2DAppend(g, r);
    EXPECT_EQ(Group2DCount(g, 0), 2);
    EXPECT_EQ(r.get()->refCount, 3);
    Group2DAppend(g, nullptr);
    EXPECT_EQ(Group2DCount(g, 0), 3);
    EXPECT_EQ(GroupMember(g, 2), nullptr);
    Group2DRemoveByObject(g, r);
    EXPECT_EQ(r.get()->refCount, 2);
    EXPECT_EQ(Group2DCount(g, 0), 2);
}

TEST_F(ShapesTest, ItemInsertAndRemoveCheckTheirIndex) {
    Shape g("Group2D");
    Shape a("RectShape"), b("OvalShape"), c("ArcShape");
    Group2DAppend(g, a);
    Group2DAppend(g, b);

    ObjectHeader* got = reinterpret_cast<ObjectHeader*>(1);
    Raised r = Catch([&] { got = Group2DGetItem(g, 2); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());
    EXPECT_EQ(got, nullptr);

    Group2DInsert(g, 2, c);  // Insert (Count) appends
    EXPECT_EQ(GroupMember(g, 2), c.get());
    Group2DInsert(g, 0, c);
    EXPECT_EQ(GroupMember(g, 0), c.get());
    EXPECT_EQ(GroupMember(g, 1), a.get());
    r = Catch([&] { Group2DInsert(g, 5, a); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());
    EXPECT_EQ(Group2DCount(g, 0), 4);

    got = Group2DGetItem(g, 1);
    EXPECT_EQ(got, a.get());
    EXPECT_EQ(a.get()->refCount, 3) << "the group's and the caller's";
    RuntimeUnlockObject(got);

    Group2DSetItem(g, 1, b);
    EXPECT_EQ(a.get()->refCount, 1);
    EXPECT_EQ(b.get()->refCount, 3);
    r = Catch([&] { Group2DSetItem(g, 4, a); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());

    Group2DRemoveByIndex(g, 0);
    EXPECT_EQ(GroupMember(g, 0), b.get());
    EXPECT_EQ(c.get()->refCount, 2);
    r = Catch([&] { Group2DRemoveByIndex(g, -1); });
    EXPECT_EQ(r.cls, OutOfBoundsExceptionClass());
    EXPECT_EQ(Group2DCount(g, 0), 3);
}

TEST_F(ShapesTest, GroupStorageGrowsByTheStepAndShrinksAfterRemovals) {
    Shape g("Group2D");
    Shape r("RectShape");
    for (int i = 0; i < 17; ++i) Group2DAppend(g, r);
    EXPECT_EQ(G(g)->capacity, 32);
    for (int i = 0; i < 31; ++i) Group2DAppend(g, r);
    EXPECT_EQ(G(g)->capacity, 48);
    EXPECT_EQ(G(g)->count, 48);
    // Down to 15 members: more than 32 unused, so the array becomes 16 long.
    for (int i = 0; i < 33; ++i) Group2DRemoveByIndex(g, 0);
    EXPECT_EQ(G(g)->count, 15);
    EXPECT_EQ(G(g)->capacity, 16);
    EXPECT_EQ(r.get()->refCount, 16);

    Shape z("Group2D");
    G(z)->growthStep = 0;  // grows by its capacity, at least 16
    for (int i = 0; i < 40; ++i) Group2DAppend(z, r);
    EXPECT_EQ(G(z)->capacity, 64);
}

TEST_F(ShapesTest, GroupPositionMovesEveryMemberAndBack) {
    Shape g("Group2D"), inner("Group2D");
    Shape a("RectShape"), b("OvalShape"), deep("ArcShape");
    Object2DDoubleSetter(a, kShapeXAt, 5);
    Object2DDoubleSetter(b, kShapeXAt, -3);
    Group2DAppend(inner, deep);
    Group2DAppend(g, a);
    Group2DAppend(g, b);
    Group2DAppend(g, inner);
    Group2DAppend(g, nullptr);
    Object2DDoubleSetter(g, kShapeXAt, 10);
    EXPECT_DOUBLE_EQ(S(a)->x, 15);
    EXPECT_DOUBLE_EQ(S(b)->x, 7);
    EXPECT_DOUBLE_EQ(S(deep)->x, 10) << "nested groups move their members too";
    EXPECT_DOUBLE_EQ(S(g)->x, 10);
    Object2DDoubleSetter(g, kShapeXAt, 0);
    EXPECT_DOUBLE_EQ(S(a)->x, 5);
    EXPECT_DOUBLE_EQ(S(b)->x, -3);
    EXPECT_DOUBLE_EQ(S(deep)->x, 0);
}

TEST_F(ShapesTest, GroupScaleScalesDistancesAndScalesAndIgnoresZero) {
    Shape g("Group2D");
    Shape a("RectShape");
    SetShapePosition(g, 1, 1);
    SetShapePosition(a, 4, 5);
    Group2DAppend(g, a);
    Object2DDoubleSetter(g, kShapeScaleAt, 0);
    Object2DDoubleSetter(g, kShapeScaleAt, -1);
    EXPECT_DOUBLE_EQ(S(g)->scale, 1);
    EXPECT_DOUBLE_EQ(S(a)->x, 4);
    Object2DDoubleSetter(g, kShapeScaleAt, 2);
    EXPECT_DOUBLE_EQ(S(g)->scale, 2);
    EXPECT_DOUBLE_EQ(S(a)->x, 7);
    EXPECT_DOUBLE_EQ(S(a)->y, 9);
    EXPECT_DOUBLE_EQ(S(a)->scale, 2);
}

TEST_F(ShapesTest, GroupRotationTurnsMembersAboutThePosition) {
    Shape g("Group2D");
    Shape a("RectShape");
    SetShapePosition(g, 10, 10);
    SetShapePosition(a, 20, 10);
    Group2DAppend(g, a);
    Object2DDoubleSetter(g, kShapeRotationAt, kPi / 2);
    EXPECT_NEAR(S(a)->x, 10, 1e-12);
    EXPECT_NEAR(S(a)->y, 20, 1e-12) << "positive turns clockwise with y down";
    EXPECT_NEAR(S(a)->rotation, kPi / 2, 1e-15);
    Object2DDoubleSetter(g, kShapeRotationAt, 0);
    EXPECT_NEAR(S(a)->x, 20, 1e-12);
    EXPECT_NEAR(S(a)->y, 10, 1e-12);
}

TEST_F(ShapesTest, CurveBakesItsTransformsIntoItsPoints) {
    Shape c("CurveShape");
    CurveSetControlX(c, 0, 50);
    CurveSetControlY(c, 0, 0);
    Object2DDoubleSetter(c, kShapeXAt, 10);  // start (10, 0)
    EXPECT_DOUBLE_EQ(C(c)->x2, 110);
    EXPECT_DOUBLE_EQ(CurveGetControlX(c, 0), 60);
    Object2DDoubleSetter(c, kShapeScaleAt, 0.5);
    EXPECT_DOUBLE_EQ(C(c)->x2, 60);
    EXPECT_DOUBLE_EQ(C(c)->y2, 50);
    Object2DDoubleSetter(c, kShapeScaleAt, 0);
    EXPECT_DOUBLE_EQ(C(c)->base.scale, 0.5);
    Object2DDoubleSetter(c, kShapeRotationAt, kPi);
    EXPECT_NEAR(C(c)->x2, -40, 1e-12);
    EXPECT_NEAR(C(c)->y2, -50, 1e-12);
    EXPECT_DOUBLE_EQ(S(c)->x, 10) << "the start point stays";
}

TEST_F(ShapesTest, FigureAddsCurvesItOwns) {
    Shape f("FigureShape");
    FigureShapeAddLine(f, 1.5f, 2, 3, 4);
    FigureShapeAddQuad(f, 0, 0, 10, 0, 5, 5);
    FigureShapeAddCubic(f, 0, 0, 10, 0, 2, 3, 8, 9);
    ASSERT_EQ(Group2DCount(f, 0), 3);
    ObjectHeader* line = GroupMember(f, 0);
    EXPECT_EQ(ShapeTag(line), kTagCurveShape);
    EXPECT_EQ(line->refCount, 1) << "the figure holds the only reference";
    EXPECT_EQ(C(line)->order, 0);
    EXPECT_DOUBLE_EQ(S(line)->x, 1.5);
    EXPECT_DOUBLE_EQ(C(line)->y2, 4);
    EXPECT_EQ(C(GroupMember(f, 1))->order, 1);
    EXPECT_DOUBLE_EQ(CurveGetControlY(GroupMember(f, 1), 0), 5);
    EXPECT_EQ(C(GroupMember(f, 2))->order, 2);
    EXPECT_DOUBLE_EQ(CurveGetControlY(GroupMember(f, 2), 1), 9);

    Object2DDoubleSetter(f, kShapeYAt, 100);  // moves every curve's points
    EXPECT_DOUBLE_EQ(S(line)->y, 102);
    EXPECT_DOUBLE_EQ(C(line)->y2, 104);
}

TEST_F(ShapesTest, GroupThatHoldsItselfIsTransformedWithoutRecursingForever) {
    ObjectHeader* g = NewObjectOf("Group2D");
    Shape a("RectShape");
    Group2DAppend(g, g);
    Group2DAppend(g, a);
    Group2DAppend(g, g);
    Object2DDoubleSetter(g, kShapeXAt, 3);
    Object2DDoubleSetter(g, kShapeScaleAt, 2);
    Object2DDoubleSetter(g, kShapeRotationAt, 1);
    EXPECT_DOUBLE_EQ(S(g)->scale, 2);
    EXPECT_TRUE(std::isfinite(S(a)->x));
    // Break the cycle so the group can go.
    Group2DRemoveByIndex(g, 2);
    Group2DRemoveByIndex(g, 0);
    RuntimeUnlockObject(g);
}

TEST_F(ShapesTest, NonFiniteTransformsStayHarmless) {
    Shape g("Group2D");
    Shape a("RectShape"), c("CurveShape");
    Group2DAppend(g, a);
    Group2DAppend(g, c);
    Object2DDoubleSetter(g, kShapeXAt, NAN);
    Object2DDoubleSetter(g, kShapeScaleAt, INFINITY);
    Object2DDoubleSetter(g, kShapeScaleAt, 1e308);
    Object2DDoubleSetter(g, kShapeRotationAt, INFINITY);
    EXPECT_EQ(RectShapeContains(a, 0, 0), 0);
    Object2DDoubleSetter(nullptr, kShapeXAt, 1);
    Object2DDoubleSetter(a, 4, 1);  // inside the header: refused
    EXPECT_EQ(a.get()->refCount, 2);
}

// ---- Hit test ---------------------------------------------------------------------------------------

TEST_F(ShapesTest, ContainsTestsEachKindInItsLocalFrame) {
    Shape r("RectShape");
    SetShapePosition(r, 100, 50);
    reinterpret_cast<RectShapeObject*>(r.get())->width = 40;
    reinterpret_cast<RectShapeObject*>(r.get())->height = 20;
    EXPECT_EQ(RectShapeContains(r, 119, 59), 1);
    EXPECT_EQ(RectShapeContains(r, 120, 50), 0) << "edges are outside";
    Object2DDoubleSetter(r, kShapeRotationAt, kPi / 2);
    EXPECT_EQ(RectShapeContains(r, 100, 69), 1);
    EXPECT_EQ(RectShapeContains(r, 119, 50), 0);
    Object2DDoubleSetter(r, kShapeScaleAt, 2);
    EXPECT_EQ(RectShapeContains(r, 100, 89), 1);

    Shape o("OvalShape");  // 100 x 100 at the origin
    EXPECT_EQ(RectShapeContains(o, 30, 30), 1);
    EXPECT_EQ(RectShapeContains(o, 40, 40), 0);

    Shape a("ArcShape");  // the quarter from 0 to pi/2: x > 0, y > 0
    EXPECT_EQ(RectShapeContains(a, 20, 20), 1);
    EXPECT_EQ(RectShapeContains(a, -20, 20), 0);
    reinterpret_cast<ArcShapeObject*>(a.get())->arcAngle = -kPi / 2;  // 0 back to -pi/2
    EXPECT_EQ(RectShapeContains(a, 20, 20), 0);
    EXPECT_EQ(RectShapeContains(a, 20, -20), 1);

    Shape rr("RoundRectShape");
    RoundRectShapeObject* q = reinterpret_cast<RoundRectShapeObject*>(rr.get());
    EXPECT_EQ(RectShapeContains(rr, 49, 49), 1) << "no corners: a rectangle";
    q->cornerWidth = q->cornerHeight = 40;
    EXPECT_EQ(RectShapeContains(rr, 49, 49), 0);
    EXPECT_EQ(RectShapeContains(rr, 40, 40), 1);
    EXPECT_EQ(RectShapeContains(rr, 49, 0), 1);

    Shape s("StringShape");
    EXPECT_EQ(RectShapeContains(s, 0, 0), 0);
    EXPECT_EQ(RectShapeContains(nullptr, 0, 0), 0);
    Object2DDoubleSetter(o, kShapeScaleAt, 0);
    EXPECT_EQ(RectShapeContains(o, 0, 0), 0);
}

TEST_F(ShapesTest, StringAndPixmapShapesReleaseTheirValues) {
    StringHandle text("Tokyo");
    {
        Shape s("StringShape");
        stringSetter(s, 108, text.Get());
        EXPECT_EQ(text.Get()->refCount, 2);
    }
    EXPECT_EQ(text.Get()->refCount, 1);
    Shape image("Group2D");  // any object stands in for the picture here
    {
        Shape p("PixmapShape");
        PixmapShapeConstructorImage(p, image);
        EXPECT_EQ(image.get()->refCount, 2);
    }
    EXPECT_EQ(image.get()->refCount, 1);
}


// ---- Outline geometry -----------------------------------------------------------------------------

RectShapeObject* R(ObjectHeader* o) { return reinterpret_cast<RectShapeObject*>(o); }

TEST_F(ShapesTest, RectOutlineIsTurnedScaledAndPlaced) {
    Shape r("RectShape");
    R(r)->width = 20;
    R(r)->height = 10;
    SetShapePosition(r, 100, 50);
    PointList pts;
    RectOutline(R(r), pts);
    ASSERT_EQ(pts.size(), 4u);
    EXPECT_DOUBLE_EQ(pts[0].x, 110);
    EXPECT_DOUBLE_EQ(pts[0].y, 55);
    EXPECT_DOUBLE_EQ(pts[2].x, 90);
    EXPECT_DOUBLE_EQ(pts[2].y, 45);
    Object2DDoubleSetter(r, kShapeRotationAt, kPi / 2);
    Object2DDoubleSetter(r, kShapeScaleAt, 2);
    RectOutline(R(r), pts);
    EXPECT_NEAR(pts[0].x, 100 - 10, 1e-9) << "(10, 5) turns to (-5, 10), scaled by 2";
    EXPECT_NEAR(pts[0].y, 50 + 20, 1e-9);
}

TEST_F(ShapesTest, ArcOutlineEndsWithTheCentreAndCountsItsPoints) {
    Shape a("ArcShape");
    ArcShapeObject* arc = reinterpret_cast<ArcShapeObject*>(a.get());
    SetShapePosition(a, 10, 20);
    PointList pts;
    ArcOutline(arc, pts);
    ASSERT_EQ(pts.size(), 42u) << "automatic: (100 + 100) x 0.2 = 40 segments";
    EXPECT_NEAR(pts[0].x, 60, 1e-9);
    EXPECT_NEAR(pts[0].y, 20, 1e-9);
    EXPECT_NEAR(pts[40].x, 10, 1e-9);
    EXPECT_NEAR(pts[40].y, 70, 1e-9);
    EXPECT_DOUBLE_EQ(pts[41].x, 10);
    EXPECT_DOUBLE_EQ(pts[41].y, 20);

    arc->oval.segments = 10;
    arc->arcAngle = -kPi / 2;
    ArcOutline(arc, pts);
    EXPECT_EQ(pts.size(), 42u) << "a negative angle takes the automatic count";
    arc->arcAngle = kPi;
    ArcOutline(arc, pts);
    EXPECT_EQ(pts.size(), 7u) << "pi x 10 / 2 pi = 5 segments";

    Object2DDoubleSetter(a, kShapeScaleAt, 1e300);
    ArcOutline(arc, pts);
    EXPECT_EQ(pts.size(), 7u);
    arc->oval.segments = 0;
    ArcOutline(arc, pts);
    EXPECT_EQ(pts.size(), 1026u) << "at most 1024 segments";
    arc->oval.rect.width = 0;
    Object2DDoubleSetter(a, kShapeScaleAt, 1);
    ArcOutline(arc, pts);
    EXPECT_TRUE(AllFinite(pts)) << "a zero width divides by nothing";
    arc->oval.rect.width = NAN;
    ArcOutline(arc, pts);
    EXPECT_EQ(pts.size(), 10u) << "NaN sizes take the smallest count";
}

TEST_F(ShapesTest, OvalAndCurveOutlinesCountTheirPoints) {
    Shape o("OvalShape");
    PointList pts;
    OvalOutline(reinterpret_cast<OvalShapeObject*>(o.get()), pts);
    EXPECT_EQ(pts.size(), 40u);
    EXPECT_NEAR(pts[10].y, 50, 1e-9);

    Shape c("CurveShape");
    CurveOutline(C(c), pts);
    ASSERT_EQ(pts.size(), 3u) << "a line: both ends and the chord midpoint";
    EXPECT_DOUBLE_EQ(pts[2].x, 50);
    C(c)->order = 1;
    C(c)->control[0][0] = 100;
    CurveOutline(C(c), pts);
    // L = sqrt(100^2 + 2 x 100^2 + 100^2) = 200, x 0.1 = 20 segments.
    ASSERT_EQ(pts.size(), 22u);
    EXPECT_NEAR(pts[10].x, 75, 1e-9);
    EXPECT_NEAR(pts[10].y, 25, 1e-9);
}

TEST_F(ShapesTest, FigurePathClosesItsLinesAndDropsARepeatedStart) {
    Shape f("FigureShape");
    FigureShapeAddLine(f, 0, -3, 0, 0);
    FigureShapeAddLine(f, 0, 0, -7, 0);
    FigureShapeAddLine(f, -7, 0, -7, -3);
    PointList pts;
    FigurePath(f, pts);
    ASSERT_EQ(pts.size(), 4u);
    EXPECT_DOUBLE_EQ(pts[3].x, -7);
    EXPECT_DOUBLE_EQ(pts[3].y, -3);
    FigureShapeAddLine(f, -7, -3, 0, -3);
    FigurePath(f, pts);
    EXPECT_EQ(pts.size(), 4u) << "the end on the first start is removed";

    Shape one("FigureShape");
    FigureShapeAddLine(one, 1, 1, 9, 1);
    Shape rect("RectShape");
    Group2DAppend(one, rect);
    FigurePath(one, pts);
    EXPECT_EQ(pts.size(), 2u) << "members other than curves are skipped";
}

TEST_F(ShapesTest, ClosedBandRunsAtHalfTheWidthOnEachSide) {
    PointList square = {{10, 10}, {0, 10}, {0, 0}, {10, 0}};
    PointList band;
    BorderBand(square, OutlineKind::kClosed, 2, band);
    ASSERT_EQ(band.size(), 10u);
    // This outline turns counter-clockwise on the screen, so -w/2 lies inside it.
    EXPECT_NEAR(band[0].x, 9, 1e-9);
    EXPECT_NEAR(band[0].y, 9, 1e-9);
    EXPECT_NEAR(band[2].x, 1, 1e-9);
    EXPECT_NEAR(band[2].y, 1, 1e-9);
    EXPECT_NEAR(band[4].x, 9, 1e-9) << "minus[0] again";
    EXPECT_NEAR(band[5].x, 11, 1e-9);
    EXPECT_NEAR(band[5].y, 11, 1e-9);
    EXPECT_NEAR(band[6].x, 11, 1e-9) << "plus runs backwards: plus[3] = (11, -1)";
    EXPECT_NEAR(band[6].y, -1, 1e-9);
    EXPECT_NEAR(band[7].x, -1, 1e-9);

    PointList repeated = {{0, 0}, {0, 0}, {5, 0}};
    BorderBand(repeated, OutlineKind::kClosed, 3, band);
    EXPECT_TRUE(AllFinite(band)) << "segments of no length give no NaN";
}

TEST_F(ShapesTest, ArcBandEndsAlongTheRadii) {
    Shape a("ArcShape");
    reinterpret_cast<ArcShapeObject*>(a.get())->oval.segments = 4;  // pi/2 x 4 / 2 pi = 1 segment
    PointList pts, band;
    ArcOutline(reinterpret_cast<ArcShapeObject*>(a.get()), pts);
    ASSERT_EQ(pts.size(), 3u);
    BorderBand(pts, OutlineKind::kArc, 4, band);
    ASSERT_EQ(band.size(), 4u);
    for (const ShapePoint& p : band) {
        bool onXAxis = std::fabs(p.y) < 1e-9, onYAxis = std::fabs(p.x) < 1e-9;
        EXPECT_TRUE(onXAxis || onYAxis) << p.x << ", " << p.y;
    }
}

TEST_F(ShapesTest, DevicePointsOfFarOrNonFiniteValuesStayInRange) {
    PointList distant = {{0, 0}, {1e300, 5}, {-1e200, 1e20}, {3, -1e15}};
    std::vector<POINT> dev;
    DevicePolygon(distant, 0.5, 10, 20, dev);
    ASSERT_FALSE(dev.empty());
    for (const POINT& p : dev) {
        EXPECT_LE(std::abs(p.x), int32_t(kDeviceLimit) + 10);
        EXPECT_LE(std::abs(p.y), int32_t(kDeviceLimit) + 20);
    }
    bool kept = false;
    for (const POINT& p : dev) kept = kept || (p.x == 10 && p.y == 20);
    EXPECT_TRUE(kept) << "points on the surface are kept";
    PointList nan = {{NAN, 0}, {1, 1}};
    EXPECT_FALSE(AllFinite(nan));
    DevicePolygon(nan, 0.5, 0, 0, dev);
    EXPECT_TRUE(dev.empty());
    PointList infinite = {{0, 0}, {INFINITY, 0}, {0, 1}};
    DevicePolygon(infinite, 0.5, 0, 0, dev);
    EXPECT_TRUE(dev.empty());
    EXPECT_EQ(ClampedCount(NAN, 8, 1024), 8);
    EXPECT_EQ(ClampedCount(1e30, 8, 1024), 1024);
    EXPECT_EQ(ClampedCount(-1e30, 8, 1024), 8);

    // Rounding as written: trunc(x + 0.5), so negatives round toward zero.
    PointList close = {{-0.7, 0.7}, {2.5, -1.5}};
    DevicePolygon(close, 0.5, 0, 0, dev);
    ASSERT_EQ(dev.size(), 2u);
    EXPECT_EQ(dev[0].x, 0);
    EXPECT_EQ(dev[0].y, 1);
    EXPECT_EQ(dev[1].x, 3);
    EXPECT_EQ(dev[1].y, -1);
}


// ---- Pixel-map rotation ------------------------------------------------------------------------------

struct Pixels {
    explicit Pixels(int32_t n) : data(size_t(n) * size_t(n), 0xFFFFFFu), n(n) {}
    PixelBuffer Buffer() { return {data.data(), n, n}; }
    uint32_t& At(int32_t x, int32_t y) { return data[size_t(y) * size_t(n) + size_t(x)]; }
    std::vector<uint32_t> data;
    int32_t n;
};

TEST(PixMapRotateTest, QuarterTurnsMovePixelsExactly) {
    Pixels src(8), dst(8);
    src.At(5, 2) = 0;
    PixMapRotate(src.Buffer(), dst.Buffer(), kPi / 2, RotateEdge::kWhite);
    // Turned by -pi/2 about (4, 4): local (1, -2) goes to (-2, -1).
    EXPECT_EQ(dst.At(2, 3), 0u);
    int black = 0;
    for (uint32_t p : dst.data) black += p == 0;
    EXPECT_EQ(black, 1);

    Pixels back(8), out(8);
    back.At(5, 2) = 0x123456;
    PixMapRotate(back.Buffer(), out.Buffer(), -kPi / 2, RotateEdge::kWhite);
    EXPECT_EQ(out.At(6, 5), 0x123456u) << "local (1, -2) goes to (2, 1)";
}

TEST(PixMapRotateTest, SmallTurnsBlendAndUncoverWhite) {
    Pixels src(16), dst(16);
    for (uint32_t& p : src.data) p = 0;
    PixMapRotate(src.Buffer(), dst.Buffer(), 0.3, RotateEdge::kWhite);
    EXPECT_EQ(dst.At(8, 8), 0u) << "the middle stays";
    EXPECT_EQ(dst.At(0, 0), 0xFFFFFFu) << "corners are uncovered";
    bool blended = false;
    for (uint32_t p : dst.data) blended = blended || (p != 0 && p != 0xFFFFFFu);
    EXPECT_TRUE(blended);

    Pixels other(15);
    PixMapRotate(src.Buffer(), other.Buffer(), 0.3, RotateEdge::kWhite);  // sizes differ: nothing
    for (uint32_t p : other.data) ASSERT_EQ(p, 0xFFFFFFu);
    PixMapRotate(src.Buffer(), dst.Buffer(), NAN, RotateEdge::kExtend);
    PixMapShearX(src.Buffer(), dst.Buffer(), 1e300, RotateEdge::kExtend);
    for (int32_t y = 0; y < 16; ++y)
        EXPECT_EQ(dst.At(3, y), y == 8 ? 0u : 0xFFFFFFu) << "every row but the middle one leaves the map";
}


// ---- Drawing into pictures -----------------------------------------------------------------------------

class TestPicture {
public:
    TestPicture(int32_t w, int32_t h) : picture_(ObjectHandle::Adopt(newPicture(w, h, 32))) {
        if (picture_) graphics_ = ObjectHandle::Adopt(pictureGraphicsGetter(picture_.Get(), 0));
    }

    void Draw(ObjectHeader* shape, int32_t dx = 0, int32_t dy = 0) {
        RuntimeGraphicsDrawObjectXY(graphics_.Get(), shape, dx, dy);
        GdiFlush();
    }
    const PixelMap* Map() const {
        PixelMap* map = nullptr;
        std::memcpy(&map, reinterpret_cast<uint8_t*>(picture_.Get()) + kPictureMapAt, 4);
        return map;
    }
    uint32_t At(int32_t x, int32_t y) const { return Map()->pixels[y * Map()->width + x] & 0xFFFFFFu; }
    int Count(uint32_t color) const {
        int n = 0;
        for (int32_t i = 0; i < Map()->width * Map()->height; ++i) n += (Map()->pixels[i] & 0xFFFFFFu) == color;
        return n;
    }
    ObjectHeader* graphics() const { return graphics_.Get(); }
    ObjectHeader* picture() const { return picture_.Get(); }
    void Set(int32_t x, int32_t y, uint32_t color) { Map()->pixels[y * Map()->width + x] = color; }
    void SetTransparent(int32_t value) { std::memcpy(reinterpret_cast<uint8_t*>(picture_.Get()) + kPictureTransparentAt, &value, 4); }

private:
    // The Graphics goes first: it was made after the picture.
    ObjectHandle picture_;
    ObjectHandle graphics_;
};

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

TEST_F(ShapesTest, ThinBorderIsAOnePixelClosedPolyline) {
    TestPicture pic(24, 20);
    ASSERT_NE(pic.Map(), nullptr);
    Shape r("RectShape");
    R(r)->width = 10;
    R(r)->height = 6;
    SetShapePosition(r, 10, 10);
    doublePercentSetter(r, 76, 0);
    doublePercentSetter(r, 84, 100);
    S(r)->borderColor = kRed;
    pic.Draw(r);
    // Corners (5, 7) and (15, 13): the four edges, each pixel once.
    for (int x = 5; x <= 15; ++x) {
        EXPECT_EQ(pic.At(x, 7), kRed) << x;
        EXPECT_EQ(pic.At(x, 13), kRed) << x;
    }
    for (int y = 7; y <= 13; ++y) {
        EXPECT_EQ(pic.At(5, y), kRed) << y;
        EXPECT_EQ(pic.At(15, y), kRed) << y;
    }
    EXPECT_EQ(pic.At(10, 10), kWhite) << "no fill";
    EXPECT_EQ(pic.Count(kRed), 2 * 11 + 2 * 5);
}

TEST_F(ShapesTest, FigureOfOneLineFillsAsATwoPointPolygon) {
    TestPicture pic(20, 10);
    Shape f("FigureShape");
    FigureShapeAddLine(f, 2, 5, 12, 5);
    S(f)->fillColor = kBlue;
    pic.Draw(f);
    for (int x = 2; x <= 12; ++x) EXPECT_EQ(pic.At(x, 5), kBlue) << x;
    EXPECT_EQ(pic.Count(kBlue), 11);
}

TEST_F(ShapesTest, DrawingAtAnOffsetPutsTheGroupBack) {
    TestPicture pic(30, 30);
    Shape g("Group2D");
    Shape f("FigureShape");
    FigureShapeAddLine(f, 0, 0, 4, 0);
    S(f)->fillColor = kBlue;
    Group2DAppend(g, f);
    pic.Draw(g, 10, 20);
    EXPECT_EQ(pic.At(10, 20), kBlue);
    EXPECT_EQ(pic.At(14, 20), kBlue);
    EXPECT_EQ(pic.Count(kBlue), 5);
    ObjectHeader* line = GroupMember(f, 0);
    EXPECT_DOUBLE_EQ(S(line)->x, 0);
    EXPECT_DOUBLE_EQ(C(line)->x2, 4);
    EXPECT_DOUBLE_EQ(S(g)->x, 0);
}

// Moving back by the opposite offset is not exact (0.1 + 900 - 900 != 0.1):
// every position in the tree comes back bit for bit, however often it is
// drawn, as a viewer redraws the same route group on every pan.
TEST_F(ShapesTest, DrawingAtOffsetsLeavesEveryPositionBitForBit) {
    TestPicture pic(40, 30);
    ObjectHeader* g = NewObjectOf("Group2D");
    Shape inner("Group2D"), f("FigureShape"), c("CurveShape"), r("RectShape");
    FigureShapeAddCubic(f, 0.1, 0.7, 10.3, 0.2, 2.9, 3.3, 8.1, 9.7);
    SetShapePosition(r, 1.0 / 3, 1e-7);
    Object2DDoubleSetter(c, kShapeXAt, 7.7);
    CurveSetControlX(c, 1, 0.3);
    Group2DAppend(inner, r);
    Group2DAppend(inner, c);
    Group2DAppend(g, f);
    Group2DAppend(g, inner);
    Group2DAppend(g, g);  // a group that holds itself is walked once
    Object2DDoubleSetter(g, kShapeScaleAt, 0.1);
    std::vector<ObjectHeader*> shapes{g, inner, f, GroupMember(f, 0), c, r};
    auto positions = [&] {
        std::vector<uint8_t> bytes;
        for (ObjectHeader* o : shapes) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(o);
            bytes.insert(bytes.end(), p + 28, p + o->classPtr->instanceSize);
        }
        return bytes;
    };
    const std::vector<uint8_t> before = positions();
    for (const auto& d : {std::make_pair(900, -450), std::make_pair(-3, 7), std::make_pair(123457, 1)}) {
        for (int i = 0; i < 3; ++i) pic.Draw(g, d.first, d.second);
        EXPECT_TRUE(positions() == before) << "drawn at " << d.first << ", " << d.second;
    }
    Group2DRemoveByIndex(g, 2);
    RuntimeUnlockObject(g);
}

TEST_F(ShapesTest, GroupScaledAndTurnedThroughItsSettersDrawsItsMembersMoved) {
    TestPicture pic(40, 40);
    Shape g("Group2D");
    Shape r("RectShape");
    R(r)->width = 2;
    R(r)->height = 2;
    SetShapePosition(r, 5, 0);
    S(r)->fillColor = kRed;
    Group2DAppend(g, r);
    Object2DDoubleSetter(g, kShapeScaleAt, 2);          // member at (10, 0), 4 x 4
    Object2DDoubleSetter(g, kShapeRotationAt, kPi / 2);  // member at (0, 10)
    Object2DDoubleSetter(g, kShapeXAt, 20);             // member at (20, 10)
    pic.Draw(g);
    EXPECT_EQ(pic.At(20, 10), kRed);
    EXPECT_EQ(pic.At(22, 12), kRed);
    EXPECT_EQ(pic.At(17, 10), kWhite);
    EXPECT_EQ(pic.At(30, 0), kWhite);
}

TEST_F(ShapesTest, NonFiniteAndHugeShapesDrawNothingHarmful) {
    TestPicture pic(20, 20);
    Shape g("Group2D");
    const double bad[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 3e9};
    for (double v : bad) {
        Shape r("RectShape"), o("OvalShape"), a("ArcShape"), s("StringShape"), c("CurveShape");
        for (ObjectHeader* shape : {r.get(), o.get(), a.get(), s.get(), c.get()}) {
            doublePercentSetter(shape, 84, 100);
            AsShape(shape)->borderWidth = 3;
            AsShape(shape)->x = v;
        }
        R(r)->width = v;
        reinterpret_cast<RectShapeObject*>(a.get())->height = v;
        reinterpret_cast<StringShapeObject*>(s.get())->textSize = v;
        C(c)->x2 = v;
        C(c)->order = 2;
        Object2DObject* oo = AsShape(o);
        oo->scale = v;
        for (ObjectHeader* shape : {r.get(), o.get(), a.get(), s.get(), c.get()}) pic.Draw(shape);
    }
    Shape zero("ArcShape");
    R(zero)->width = 0;
    doublePercentSetter(zero, 84, 100);
    AsShape(zero)->borderWidth = 5;
    pic.Draw(zero);
    SUCCEED() << "no crash and no hang";
}

TEST_F(ShapesTest, ManyTrackArcsSkipRepeatedPixels) {
    TestPicture pic(60, 40);
    Shape a("ArcShape");
    ArcShapeObject* arc = reinterpret_cast<ArcShapeObject*>(a.get());
    // A straight drawn as an arc of radius 1e7: 1024 points along a short stretch.
    R(a)->width = R(a)->height = 2e7;
    SetShapePosition(a, 30, 20 + 1e7);
    ArcStartAngleSetter(a, 124, 1.5 * kPi - 2e-6);
    arc->arcAngle = 4e-6;
    doublePercentSetter(a, 76, 0);
    doublePercentSetter(a, 84, 100);
    S(a)->borderColor = kRed;
    pic.Draw(a);
    for (int x = 11; x <= 49; ++x) EXPECT_EQ(pic.At(x, 20), kRed) << x;
    EXPECT_EQ(pic.At(30, 21), kWhite);
}


TEST_F(ShapesTest, ArcFillsAsAPieSlice) {
    TestPicture pic(40, 40);
    Shape a("ArcShape");  // 0 to pi/2: the lower right quarter on the screen
    R(a)->width = R(a)->height = 30;
    SetShapePosition(a, 20, 20);
    S(a)->fillColor = kBlue;
    pic.Draw(a);
    EXPECT_EQ(pic.At(26, 26), kBlue);
    EXPECT_EQ(pic.At(21, 21), kBlue) << "down to the centre";
    EXPECT_EQ(pic.At(14, 26), kWhite);
    EXPECT_EQ(pic.At(26, 14), kWhite);
    EXPECT_EQ(pic.At(33, 33), kWhite) << "outside the circle";
}

TEST_F(ShapesTest, OvalAlignedWithTheAxesIsAnEllipseAndTurnedItIsAPolygon) {
    TestPicture a(40, 40), b(40, 40), c(40, 40);
    Shape plain("OvalShape"), quarter("OvalShape"), eighth("OvalShape");
    R(plain)->width = 30, R(plain)->height = 14;
    R(quarter)->width = 14, R(quarter)->height = 30;
    R(eighth)->width = 30, R(eighth)->height = 14;
    for (ObjectHeader* o : {plain.get(), quarter.get(), eighth.get()}) {
        SetShapePosition(o, 20, 20);
        S(o)->fillColor = kRed;
    }
    Object2DDoubleSetter(quarter, kShapeRotationAt, kPi / 2);  // axis-aligned again: ellipse of 30 x 14
    Object2DDoubleSetter(eighth, kShapeRotationAt, kPi / 4);
    a.Draw(plain);
    b.Draw(quarter);
    c.Draw(eighth);
    EXPECT_GT(a.Count(kRed), 250);
    EXPECT_EQ(a.At(5, 20), kRed);
    EXPECT_EQ(a.At(20, 13), kRed);
    EXPECT_EQ(a.At(20, 11), kWhite);
    EXPECT_EQ(b.At(6, 20), kRed) << "14 x 30 turned a quarter: an ellipse 30 wide";
    EXPECT_EQ(b.At(20, 6), kWhite);
    EXPECT_NEAR(b.Count(kRed), a.Count(kRed), 2 * (30 + 14)) << "up to a row and a column of truncation";
    EXPECT_EQ(c.At(20, 20), kRed);
    EXPECT_EQ(c.At(28, 28), kRed) << "turned clockwise: along the falling diagonal";
    EXPECT_EQ(c.At(28, 12), kWhite);
}

TEST_F(ShapesTest, TextSizeIsTruncatedAfterScaling) {
    // A scale at which 10 / s x s falls just below 10.
    double s = 0;
    for (int i = 3; i < 1000 && s == 0; ++i) {
        volatile double size = 10.0 / i;
        volatile double product = size * i;
        if (product < 10.0) s = i;
    }
    ASSERT_NE(s, 0);
    StringHandle label("HHHH");
    TestPicture scaled(80, 40), nine(80, 40), ten(80, 40);
    Shape a("StringShape"), b("StringShape"), c("StringShape");
    for (ObjectHeader* o : {a.get(), b.get(), c.get()}) {
        SetShapePosition(o, 40, 30);
        stringSetter(o, 108, label.Get());
    }
    reinterpret_cast<StringShapeObject*>(a.get())->textSize = 10 / s;
    S(a)->scale = s;
    reinterpret_cast<StringShapeObject*>(b.get())->textSize = 9;
    reinterpret_cast<StringShapeObject*>(c.get())->textSize = 10;
    scaled.Draw(a);
    nine.Draw(b);
    ten.Draw(c);
    EXPECT_EQ(std::memcmp(scaled.Map()->pixels, nine.Map()->pixels, 80 * 40 * 4), 0) << "drawn at size 9";
    EXPECT_NE(std::memcmp(ten.Map()->pixels, nine.Map()->pixels, 80 * 40 * 4), 0);

    TestPicture faint(80, 40);
    doublePercentSetter(c, 76, 49);
    faint.Draw(c);
    EXPECT_EQ(faint.Count(kWhite), 80 * 40) << "Fill below 50 is invisible";
}

TEST_F(ShapesTest, TurnedTextIsDrawnThroughTheRotatedMask) {
    StringHandle label("HHHHHH");
    TestPicture flat(80, 80), full(80, 80), upright(80, 80);
    Shape a("StringShape"), b("StringShape"), c("StringShape");
    for (ObjectHeader* o : {a.get(), b.get(), c.get()}) {
        SetShapePosition(o, 40, 40);
        stringSetter(o, 108, label.Get());
        S(o)->fillColor = kBlue;
    }
    S(b)->rotation = 2 * kPi;  // the remainder is 0: drawn unturned
    S(c)->rotation = kPi / 2;
    flat.Draw(a);
    full.Draw(b);
    upright.Draw(c);
    EXPECT_EQ(std::memcmp(flat.Map()->pixels, full.Map()->pixels, 80 * 80 * 4), 0);
    // Unturned the text is wide and low; turned a quarter it is tall and narrow.
    auto extent = [](const TestPicture& p, int32_t* w, int32_t* h) {
        int32_t x0 = 80, x1 = -1, y0 = 80, y1 = -1;
        for (int32_t y = 0; y < 80; ++y)
            for (int32_t x = 0; x < 80; ++x)
                if (p.At(x, y) != kWhite) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
        *w = x1 - x0 + 1;
        *h = y1 - y0 + 1;
    };
    int32_t fw, fh, uw, uh;
    extent(flat, &fw, &fh);
    extent(upright, &uw, &uh);
    ASSERT_GT(fw, fh);
    EXPECT_GT(uh, uw);
    EXPECT_NEAR(uh, fw, 3);
    EXPECT_NEAR(uw, fh, 3);
}

// ---- Golden scene ---------------------------------------------------------------------------------------

void BuildScene(ObjectHeader* group) {
    auto add = [&](const char* cls) {
        ObjectHeader* o = NewObjectOf(cls);
        Group2DAppend(group, o);
        RuntimeUnlockObject(o);
        return o;
    };
    auto border = [](ObjectHeader* o, uint32_t color, double width) {
        doublePercentSetter(o, 84, 100);
        S(o)->borderColor = color;
        S(o)->borderWidth = width;
    };
    ObjectHeader* rect = add("RectShape");
    R(rect)->width = 40, R(rect)->height = 24;
    SetShapePosition(rect, 30, 20);
    S(rect)->fillColor = 0x3060C0;
    border(rect, 0x000000, 1);

    ObjectHeader* turned = add("RectShape");
    R(turned)->width = 30, R(turned)->height = 16;
    SetShapePosition(turned, 85, 20);
    Object2DDoubleSetter(turned, kShapeRotationAt, 0.5);
    S(turned)->fillColor = 0xE0A020;
    border(turned, 0x802000, 4);

    ObjectHeader* round = add("RoundRectShape");
    R(round)->width = 40, R(round)->height = 28;
    reinterpret_cast<RoundRectShapeObject*>(round)->cornerWidth = 16;
    reinterpret_cast<RoundRectShapeObject*>(round)->cornerHeight = 12;
    SetShapePosition(round, 140, 22);
    S(round)->fillColor = 0x20A040;

    ObjectHeader* oval = add("OvalShape");
    R(oval)->width = 40, R(oval)->height = 24;
    SetShapePosition(oval, 30, 62);
    S(oval)->fillColor = 0xC03030;
    border(oval, 0x000000, 3);

    ObjectHeader* tilted = add("OvalShape");
    R(tilted)->width = 40, R(tilted)->height = 20;
    SetShapePosition(tilted, 85, 62);
    Object2DDoubleSetter(tilted, kShapeRotationAt, kPi / 4);
    S(tilted)->fillColor = 0x8040C0;
    border(tilted, 0x000000, 1);

    ObjectHeader* arc = add("ArcShape");
    R(arc)->width = R(arc)->height = 44;
    SetShapePosition(arc, 130, 50);
    reinterpret_cast<ArcShapeObject*>(arc)->arcAngle = 2.0;
    S(arc)->fillColor = 0xF0D000;
    border(arc, 0x004080, 3);

    ObjectHeader* curve = add("CurveShape");
    C(curve)->order = 2;
    SetShapePosition(curve, 10, 95);
    C(curve)->x2 = 70, C(curve)->y2 = 95;
    CurveSetControlX(curve, 0, 25), CurveSetControlY(curve, 0, 75);
    CurveSetControlX(curve, 1, 55), CurveSetControlY(curve, 1, 115);
    border(curve, 0x006000, 2);

    ObjectHeader* figure = add("FigureShape");
    FigureShapeAddLine(figure, 90, 110, 100, 85);
    FigureShapeAddQuad(figure, 100, 85, 120, 110, 125, 85);
    S(figure)->fillColor = 0x80C0F0;
    border(figure, 0x000080, 1);

    ObjectHeader* text = add("StringShape");
    SetShapePosition(text, 150, 100);
    S(text)->fillColor = 0x000000;
    StringHandle label("Route");
    stringSetter(text, 108, label.Get());

    ObjectHeader* turnedText = add("StringShape");
    SetShapePosition(turnedText, 158, 72);
    S(turnedText)->fillColor = 0xA00000;
    Object2DDoubleSetter(turnedText, kShapeRotationAt, 1.2);
    StringHandle sideways("Line");
    stringSetter(turnedText, 108, sideways.Get());
}

// ---- Pixmap shapes ------------------------------------------------------------------------------------

// A distinct, non-white colour for every source pixel.
uint32_t Pattern(int32_t x, int32_t y) { return uint32_t(0x20 + 0x20 * x) << 16 | uint32_t(0x20 + 0x20 * y) << 8 | 0x40; }

void FillPattern(TestPicture& source) {
    for (int32_t y = 0; y < source.Map()->height; ++y)
        for (int32_t x = 0; x < source.Map()->width; ++x) source.Set(x, y, Pattern(x, y));
}

PixmapShapeObject* P(ObjectHeader* o) { return reinterpret_cast<PixmapShapeObject*>(o); }

void SetPixmap(ObjectHeader* shape, ObjectHeader* image, double x, double y, double w, double h,
               int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
    PixmapShapeConstructorImage(shape, image);
    SetShapePosition(shape, x, y);
    R(shape)->width = w;
    R(shape)->height = h;
    P(shape)->sourceLeft = sx;
    P(shape)->sourceTop = sy;
    P(shape)->sourceWidth = sw;
    P(shape)->sourceHeight = sh;
}

TEST_F(ShapesTest, PixmapMadeFromAPictureShowsAllOfIt) {
    TestPicture picture(4, 3);
    Shape shape("PixmapShape");
    PixmapShapeConstructorImage(shape, picture.picture());
    EXPECT_EQ(P(shape)->sourceLeft, 0);
    EXPECT_EQ(P(shape)->sourceWidth, 4);
    EXPECT_EQ(P(shape)->sourceHeight, 3);
    EXPECT_EQ(R(shape)->width, 4.0);
    EXPECT_EQ(R(shape)->height, 3.0);
    Shape other("PixmapShape");
    Shape group("Group2D");
    PixmapShapeConstructorImage(other, group);  // not a picture: sizes stay
    EXPECT_EQ(P(other)->sourceWidth, 0);
    EXPECT_EQ(R(other)->width, 100.0);
}

int CountNot(const TestPicture& pic, uint32_t color) {
    return pic.Map()->width * pic.Map()->height - pic.Count(color);
}

TEST_F(ShapesTest, PixmapCopiesItsSourceOneToOneAroundItsPosition) {
    TestPicture source(4, 3), pic(20, 16);
    ASSERT_NE(source.Map(), nullptr);
    ASSERT_NE(pic.Map(), nullptr);
    FillPattern(source);
    Shape p("PixmapShape");
    SetPixmap(p, source.picture(), 10, 8, 4, 3, 0, 0, 4, 3);
    pic.Draw(p);
    // Top-left (10 - 4 div 2, 8 - 3 div 2).
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(pic.At(8 + x, 7 + y), Pattern(x, y)) << x << "," << y;
    EXPECT_EQ(CountNot(pic, kWhite), 12);

    TestPicture part(20, 16);
    Shape q("PixmapShape");
    SetPixmap(q, source.picture(), 5, 5, 2, 2, 1, 1, 2, 2);  // the inner box only
    part.Draw(q);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 2; ++x) EXPECT_EQ(part.At(4 + x, 4 + y), Pattern(1 + x, 1 + y)) << x << "," << y;
    EXPECT_EQ(CountNot(part, kWhite), 4);
}

TEST_F(ShapesTest, PixmapScalesItsSourceToWidthAndHeightTimesScale) {
    TestPicture source(2, 2), pic(20, 20);
    FillPattern(source);
    Shape p("PixmapShape");
    SetPixmap(p, source.picture(), 10, 10, 2, 3, 0, 0, 2, 2);
    Object2DDoubleSetter(p, kShapeScaleAt, 2);  // 4 x 6 pixels from (8, 7)
    pic.Draw(p);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(pic.At(8 + x, 7 + y), Pattern(x / 2, y / 3)) << x << "," << y;
    EXPECT_EQ(CountNot(pic, kWhite), 24);
}

TEST_F(ShapesTest, PixmapSourceOutsideThePictureIsClippedWithItsDestination) {
    TestPicture source(4, 4);
    FillPattern(source);
    struct Row {
        int32_t sx, sy;
        int32_t left, top, width, height;  // where the picture lands
        int32_t fromX, fromY;              // its source pixel there
    };
    // A 4 x 4 shape at (10, 10), 1:1: the whole box would start at (8, 8).
    const Row rows[] = {
        {-2, 0, 10, 8, 2, 4, 0, 0},   // left half outside
        {0, -3, 8, 11, 4, 1, 0, 0},   // three rows above
        {2, 2, 8, 8, 2, 2, 2, 2},     // right and bottom outside
        {-1, 1, 9, 8, 3, 3, 0, 1},
        {10, 0, 0, 0, 0, 0, 0, 0},    // wholly outside: nothing
        {0, -10, 0, 0, 0, 0, 0, 0},
        {-2147483647 - 1, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.sx << "," << r.sy);
        TestPicture pic(20, 20);
        Shape p("PixmapShape");
        SetPixmap(p, source.picture(), 10, 10, 4, 4, r.sx, r.sy, 4, 4);
        pic.Draw(p);
        for (int32_t y = 0; y < r.height; ++y)
            for (int32_t x = 0; x < r.width; ++x)
                EXPECT_EQ(pic.At(r.left + x, r.top + y), Pattern(r.fromX + x, r.fromY + y)) << x << "," << y;
        EXPECT_EQ(CountNot(pic, kWhite), r.width * r.height);
    }
}

TEST_F(ShapesTest, TransparentPictureLeavesItsWhitePixelsOut) {
    TestPicture source(3, 2), pic(12, 12);
    source.Set(0, 0, kRed);
    source.Set(2, 0, kBlue);
    source.Set(1, 1, 0x00FF00);  // (1, 0), (0, 1) and (2, 1) stay white
    for (int32_t i = 0; i < 144; ++i) pic.Set(i % 12, i / 12, 0x404040);
    Shape p("PixmapShape");
    SetPixmap(p, source.picture(), 5, 5, 3, 2, 0, 0, 3, 2);  // from (4, 4)
    pic.Draw(p);
    EXPECT_EQ(pic.At(4, 4), kRed);
    EXPECT_EQ(pic.At(5, 4), kWhite) << "opaque picture: white is copied";

    source.SetTransparent(1);
    TestPicture clear(12, 12);
    for (int32_t i = 0; i < 144; ++i) clear.Set(i % 12, i / 12, 0x404040);
    clear.Draw(p);
    EXPECT_EQ(clear.At(4, 4), kRed);
    EXPECT_EQ(clear.At(5, 4), 0x404040u);
    EXPECT_EQ(clear.At(6, 4), kBlue);
    EXPECT_EQ(clear.At(4, 5), 0x404040u);
    EXPECT_EQ(clear.At(5, 5), 0x00FF00u);
    EXPECT_EQ(clear.At(6, 5), 0x404040u);
    EXPECT_EQ(clear.Count(0x404040), 144 - 3);

    Object2DDoubleSetter(p, kShapeRotationAt, kPi / 2);  // turned: the mask turns with it
    TestPicture turned(12, 12);
    for (int32_t i = 0; i < 144; ++i) turned.Set(i % 12, i / 12, 0x404040);
    turned.Draw(p);
    // Pixel (i, j) of the picture goes to (5 - (j - 1), 5 + (i - 1)).
    EXPECT_EQ(turned.At(6, 4), kRed);
    EXPECT_EQ(turned.At(6, 6), kBlue);
    EXPECT_EQ(turned.At(5, 5), 0x00FF00u);
    EXPECT_EQ(turned.Count(0x404040), 144 - 3);
}

TEST_F(ShapesTest, QuarterTurnedPixmapIsTheSourceTurnedClockwise) {
    TestPicture source(4, 2);
    FillPattern(source);
    struct Row {
        double rotation;
        int32_t dir;  // +1 clockwise, -1 counter-clockwise on the screen
    };
    for (const Row& r : {Row{kPi / 2, 1}, Row{-kPi / 2, -1}, Row{kPi / 2 + 2 * kPi, 1}}) {
        SCOPED_TRACE(r.rotation);
        TestPicture pic(20, 20);
        Shape p("PixmapShape");
        SetPixmap(p, source.picture(), 10, 10, 4, 2, 0, 0, 4, 2);
        Object2DDoubleSetter(p, kShapeRotationAt, r.rotation);
        pic.Draw(p);
        // Unturned, pixel (i, j) would be at (8 + i, 9 + j): turned about (10, 10).
        for (int32_t j = 0; j < 2; ++j)
            for (int32_t i = 0; i < 4; ++i) {
                int32_t u = i - 2, v = j - 1;
                EXPECT_EQ(pic.At(10 - r.dir * v, 10 + r.dir * u), Pattern(i, j)) << i << "," << j;
            }
        EXPECT_EQ(CountNot(pic, kWhite), 8);
    }
}

TEST_F(ShapesTest, PixmapTurnedBySmallAnglesKeepsItsMiddleAndBorder) {
    TestPicture source(6, 4), pic(30, 30);
    for (int32_t i = 0; i < 24; ++i) source.Set(i % 6, i / 6, kRed);
    Shape p("PixmapShape");
    SetPixmap(p, source.picture(), 15, 15, 12, 8, 0, 0, 6, 4);
    Object2DDoubleSetter(p, kShapeRotationAt, 0.5);
    pic.Draw(p);
    EXPECT_EQ(pic.At(15, 15), kRed);
    EXPECT_EQ(pic.At(14, 14), kRed);
    EXPECT_EQ(pic.At(15 + 4, 15 + 2), kRed) << "turned clockwise: the right end goes down";
    EXPECT_EQ(pic.At(15 + 5, 15 - 4), kWhite);
    EXPECT_EQ(pic.At(9, 11), kWhite) << "the unturned corner is left";
    EXPECT_EQ(pic.At(2, 2), kWhite);
    int red = pic.Count(kRed);
    EXPECT_GT(red, 60);
    EXPECT_LT(red, 12 * 8 + 12);

    // 0.0005 is within the unturned limit: the exact copy.
    TestPicture flat(30, 30);
    Object2DDoubleSetter(p, kShapeRotationAt, 0.0005);
    flat.Draw(p);
    EXPECT_EQ(flat.Count(kRed), 96);
    EXPECT_EQ(flat.At(9, 11), kRed);
    EXPECT_EQ(flat.At(20, 18), kRed);
}

TEST_F(ShapesTest, PixmapDrawsItsBorderOverTheImage) {
    TestPicture source(4, 4), pic(20, 20);
    for (int32_t i = 0; i < 16; ++i) source.Set(i % 4, i / 4, kBlue);
    Shape p("PixmapShape");
    SetPixmap(p, source.picture(), 10, 10, 8, 8, 0, 0, 4, 4);  // image (6, 6)-(13, 13)
    doublePercentSetter(p, 84, 100);
    S(p)->borderColor = kRed;
    pic.Draw(p);
    EXPECT_EQ(pic.At(6, 6), kRed);
    EXPECT_EQ(pic.At(14, 10), kRed) << "outline corner (14, 14)";
    EXPECT_EQ(pic.At(10, 10), kBlue);
    EXPECT_EQ(pic.Count(kBlue), 49);
    EXPECT_EQ(S(p)->fillOpacity, 1.0) << "restored after the border";

    doublePercentSetter(p, 76, 49);  // below the threshold: only the border
    TestPicture faint(20, 20);
    faint.Draw(p);
    EXPECT_EQ(faint.Count(kBlue), 0);
    EXPECT_EQ(faint.Count(kRed), 32);
}

TEST_F(ShapesTest, PixmapOfThePictureDrawnOnItselfCopiesItsOwnPixels) {
    struct Row {
        int32_t transparent;
        double rotation;
    };
    for (const Row& r : {Row{0, 0}, Row{1, 0}, Row{0, kPi / 2}, Row{1, -kPi / 2}}) {
        SCOPED_TRACE(::testing::Message() << r.transparent << " " << r.rotation);
        TestPicture pic(16, 16);
        FillPattern(pic);
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x)
                if (x >= 4 || y >= 4) pic.Set(x, y, kWhite);
        pic.SetTransparent(r.transparent);
        Shape p("PixmapShape");
        SetPixmap(p, pic.picture(), 10, 10, 4, 4, 0, 0, 4, 4);
        Object2DDoubleSetter(p, kShapeRotationAt, r.rotation);
        pic.Draw(p);
        EXPECT_EQ(pic.At(10, 10), Pattern(2, 2)) << "the middle pixel stays in the middle";
        EXPECT_EQ(pic.At(1, 3), Pattern(1, 3)) << "the source is left as it was";
        EXPECT_EQ(CountNot(pic, kWhite), 32);
    }
}

TEST_F(ShapesTest, BadPixmapValuesDrawNothing) {
    TestPicture source(4, 4);
    FillPattern(source);
    ObjectHeader* drawing = newPicture(4, 4, 0);  // vector picture: no pixels
    Shape notAPicture("Group2D");
    struct Row {
        const char* what;
        void (*change)(ObjectHeader* shape);
    };
    const Row rows[] = {
        {"no image", [](ObjectHeader* o) { PixmapShapeConstructorImage(o, nullptr); }},
        {"width 0", [](ObjectHeader* o) { R(o)->width = 0; }},
        {"height 0.5", [](ObjectHeader* o) { R(o)->height = 0.5; }},
        {"negative width", [](ObjectHeader* o) { R(o)->width = -4; }},
        {"scale 0", [](ObjectHeader* o) { S(o)->scale = 0; }},
        {"source width 0", [](ObjectHeader* o) { P(o)->sourceWidth = 0; }},
        {"source height -3", [](ObjectHeader* o) { P(o)->sourceHeight = -3; }},
        {"NaN width", [](ObjectHeader* o) { R(o)->width = NAN; }},
        {"NaN scale", [](ObjectHeader* o) { S(o)->scale = NAN; }},
        {"infinite x", [](ObjectHeader* o) { S(o)->x = INFINITY; }},
        {"NaN y", [](ObjectHeader* o) { S(o)->y = NAN; }},
        {"NaN rotation", [](ObjectHeader* o) { S(o)->rotation = NAN; }},
        {"infinite rotation", [](ObjectHeader* o) { S(o)->rotation = INFINITY; }},
        {"turned and huge", [](ObjectHeader* o) { R(o)->width = 1e9; S(o)->rotation = 0.5; }},
        {"far away", [](ObjectHeader* o) { S(o)->x = -1e12; }},
        {"fill 0", [](ObjectHeader* o) { S(o)->fillOpacity = 0; }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TestPicture pic(16, 16);
        Shape p("PixmapShape");
        SetPixmap(p, source.picture(), 8, 8, 4, 4, 0, 0, 4, 4);
        r.change(p);
        pic.Draw(p);
        EXPECT_EQ(pic.Count(kWhite), 256);
    }
    for (ObjectHeader* image : {drawing, notAPicture.get()}) {
        TestPicture pic(16, 16);
        Shape p("PixmapShape");
        SetPixmap(p, image, 8, 8, 4, 4, 0, 0, 4, 4);
        pic.Draw(p);
        Object2DDoubleSetter(p, kShapeRotationAt, 1);
        pic.Draw(p);
        EXPECT_EQ(pic.Count(kWhite), 256);
    }
    RuntimeUnlockObject(drawing);
}

std::vector<uint8_t> ReadFile(const char* path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        uint8_t buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

std::vector<uint8_t> AsPpm(const TestPicture& pic) {
    char head[64];
    int n = std::snprintf(head, sizeof head, "P6\n%d %d\n255\n", int(pic.Map()->width), int(pic.Map()->height));
    std::vector<uint8_t> out(head, head + n);
    for (int32_t y = 0; y < pic.Map()->height; ++y)
        for (int32_t x = 0; x < pic.Map()->width; ++x) {
            uint32_t p = pic.At(x, y);
            out.push_back(uint8_t(p >> 16));
            out.push_back(uint8_t(p >> 8));
            out.push_back(uint8_t(p));
        }
    return out;
}

TEST_F(ShapesTest, SceneOfEveryKindMatchesTheReviewedImage) {
    TestPicture pic(180, 120);
    Shape scene("Group2D");
    BuildScene(scene);
    pic.Draw(scene);
    std::vector<uint8_t> actual = AsPpm(pic);
    std::vector<uint8_t> golden = ReadFile(ORVANE_SHAPES_GOLDEN);
    if (actual != golden) {
        if (FILE* f = std::fopen("shapes_scene_actual.ppm", "wb")) {
            std::fwrite(actual.data(), 1, actual.size(), f);
            std::fclose(f);
        }
        ADD_FAILURE() << "the scene differs from " << ORVANE_SHAPES_GOLDEN
                      << "; the drawing is in shapes_scene_actual.ppm";
    }
}


// ---- Batched drawing against the per-segment way ------------------------------------------------------

// Deterministic numbers for the scenes below.
class SceneRandom {
public:
    explicit SceneRandom(uint32_t seed) : engine_(seed) {}
    double Uniform(double low, double high) { return low + (high - low) * (engine_() / 4294967296.0); }
    // Spread over many orders of magnitude.
    double LogUniform(double low, double high) { return std::exp(Uniform(std::log(low), std::log(high))); }
    bool Chance(double p) { return Uniform(0, 1) < p; }
    uint32_t Colour() { return kPalette[engine_() % 4]; }

private:
    static constexpr uint32_t kPalette[4] = {0xFF0000, 0x00C000, 0x0000FF, 0x202020};
    std::mt19937 engine_;
};

ObjectHeader* AddArc(ObjectHeader* group, double cx, double cy, double w, double h, double start, double sweep,
                     uint32_t colour, double borderWidth) {
    ObjectHeader* o = NewObjectOf("ArcShape");
    R(o)->width = w;
    R(o)->height = h;
    SetShapePosition(o, cx, cy);
    ArcStartAngleSetter(o, 124, start);
    reinterpret_cast<ArcShapeObject*>(o)->arcAngle = sweep;
    doublePercentSetter(o, 76, 0);
    doublePercentSetter(o, 84, 100);
    S(o)->borderColor = colour;
    S(o)->borderWidth = borderWidth;
    Group2DAppend(group, o);
    RuntimeUnlockObject(o);
    return o;
}

// A line walked as the viewer walks a route: curves of either hand and of
// many radii (negative arc angles for left-hand ones), straights as arcs of
// radius up to 1e9, fitted into w x h and then zoomed about the point
// halfway along it.
void BuildRoute(ObjectHeader* group, SceneRandom& rnd, int32_t arcs, int32_t w, int32_t h, double zoom) {
    double x = 0, y = 0, heading = rnd.Uniform(0, 2 * kPi);
    double minX = 0, maxX = 0, minY = 0, maxY = 0, halfX = 0, halfY = 0;
    int32_t hand = 1, run = 0;
    for (int32_t i = 0; i < arcs; ++i) {
        if (run-- <= 0) {
            run = int32_t(rnd.Uniform(2, 40));
            hand = rnd.Chance(0.5) ? 1 : rnd.Chance(0.5) ? -1 : 0;
        }
        double radius = hand == 0 ? rnd.LogUniform(1e7, 1e9) : rnd.LogUniform(300, 6000);
        double length = rnd.Uniform(5, 50), sweep = length / radius;
        double side = hand < 0 ? -1 : 1;  // straights go either way too
        // The centre lies to the right of the heading for a right-hand curve.
        double cx = x - side * radius * std::sin(heading), cy = y + side * radius * std::cos(heading);
        double start = heading - side * kPi / 2;
        AddArc(group, cx, cy, 2 * radius, 2 * radius, start, side * sweep, rnd.Colour(), 1);
        heading += side * sweep;
        x = cx + side * radius * std::sin(heading);
        y = cy - side * radius * std::cos(heading);
        minX = std::fmin(minX, x), maxX = std::fmax(maxX, x), minY = std::fmin(minY, y), maxY = std::fmax(maxY, y);
        if (i == arcs / 2) halfX = x, halfY = y;
    }
    double scale = zoom * std::fmin((w - 10) / (maxX - minX + 1), (h - 10) / (maxY - minY + 1));
    // Thin borders as the viewer gives them: 1 / scale in a group of scale `scale`.
    for (int32_t i = 0; i < G(group)->count; ++i) S(G(group)->members[i])->borderWidth = 1 / scale;
    // The group's own position, about which it scales.
    S(group)->x = halfX;
    S(group)->y = halfY;
    Object2DDoubleSetter(group, kShapeScaleAt, scale);
    SetShapePosition(group, w / 2.0, h / 2.0);
}

// Arcs of every kind, inside, across and far outside a w x h picture, with
// other shapes between them, so that gathered lines must be painted before
// what covers them.
void BuildArcMix(ObjectHeader* group, SceneRandom& rnd, int32_t count, int32_t w, int32_t h) {
    for (int32_t i = 0; i < count; ++i) {
        double r = rnd.LogUniform(0.05, 1e9);
        double cx = rnd.Uniform(-0.5 * w, 1.5 * w), cy = rnd.Uniform(-0.5 * h, 1.5 * h);
        if (rnd.Chance(0.3)) {  // a huge circle passing through the picture
            double a = rnd.Uniform(0, 2 * kPi);
            cx = rnd.Uniform(0, w) + r * std::cos(a);
            cy = rnd.Uniform(0, h) + r * std::sin(a);
        }
        double rw = 2 * r, rh = rnd.Chance(0.2) ? 2 * r * rnd.Uniform(0.2, 3) : 2 * r;
        if (rnd.Chance(0.15)) rw = -rw;  // negative radii
        if (rnd.Chance(0.1)) rh = -rh;
        double start = rnd.Uniform(-7, 7);
        double sweeps[] = {rnd.Uniform(-1e-6, 1e-6), rnd.Uniform(-0.05, 0.05), rnd.Uniform(-7, 7), 2 * kPi,
                           -2 * kPi, 4 * kPi + 0.3};
        double sweep = sweeps[uint32_t(rnd.Uniform(0, 6)) % 6];
        double border = rnd.Chance(0.7) ? rnd.Uniform(0.2, 1.4) : rnd.Uniform(1.5, 6);  // thin and thick
        ObjectHeader* a = AddArc(group, cx, cy, rw, rh, start, sweep, rnd.Colour(), border);
        if (rnd.Chance(0.1)) doublePercentSetter(a, 76, 100), S(a)->fillColor = rnd.Colour();
        if (rnd.Chance(0.1)) Object2DDoubleSetter(a, kShapeRotationAt, rnd.Uniform(-3, 3));
        if (rnd.Chance(0.1)) reinterpret_cast<OvalShapeObject*>(a)->segments = int32_t(rnd.Uniform(0, 300));
        if (rnd.Chance(0.05)) doublePercentSetter(a, 84, 0);
        if (rnd.Chance(0.15)) {
            const char* kinds[] = {"RectShape", "OvalShape", "FigureShape", "StringShape"};
            ObjectHeader* o = NewObjectOf(kinds[i % 4]);
            if (ShapeTag(o) == kTagFigureShape) {
                FigureShapeAddLine(o, float(rnd.Uniform(0, w)), float(rnd.Uniform(0, h)), float(rnd.Uniform(0, w)),
                                   float(rnd.Uniform(0, h)));
                doublePercentSetter(o, 84, 100);
                S(o)->borderColor = rnd.Colour();
            } else if (ShapeTag(o) != kTagStringShape) {
                R(o)->width = rnd.Uniform(2, 30);
                R(o)->height = rnd.Uniform(2, 30);
            }
            SetShapePosition(o, rnd.Uniform(0, w), rnd.Uniform(0, h));
            S(o)->fillColor = rnd.Colour();
            if (rnd.Chance(0.5)) doublePercentSetter(o, 84, 100), S(o)->borderColor = rnd.Colour();
            Group2DAppend(group, o);
            RuntimeUnlockObject(o);
        }
    }
}

// Pen, origin and clip of the Graphics object the scene is drawn on.
struct DrawingSetup {
    int32_t penWidth, penHeight, originX, originY;
    bool clip;
};

int32_t Lit(const TestPicture& p) { return p.Map()->width * p.Map()->height - p.Count(kWhite); }

// Draws the scene both ways on fresh pictures; every pixel must agree.
void ExpectSameBothWays(ObjectHeader* scene, int32_t w, int32_t h, const DrawingSetup& setup, int32_t dx,
                        int32_t dy, int32_t* lit) {
    TestPicture batched(w, h), plain(w, h);
    for (TestPicture* p : {&batched, &plain}) {
        DrawingContext* dc = GraphicsDrawingContext(p->graphics());
        DrawingContextSetPen(dc, setup.penWidth, setup.penHeight);
        DrawingContextSetOrigin(dc, setup.originX, setup.originY);
        RECT clip{w / 5, h / 4, w - w / 3, h - h / 5};
        if (setup.clip) DrawingContextSetClip(dc, &clip);
        DrawShapeTree(dc, scene, dx, dy, p == &batched ? ShapeDrawing::kBatched : ShapeDrawing::kPerSegment);
    }
    GdiFlush();
    int32_t differ = 0, firstX = -1, firstY = -1;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (batched.At(x, y) != plain.At(x, y) && differ++ == 0) firstX = x, firstY = y;
    EXPECT_EQ(differ, 0) << "first at (" << firstX << ", " << firstY << ")";
    *lit = Lit(plain);
}

TEST_F(ShapesTest, TrackLikeRoutesDrawTheSamePixelsBatchedAndPerSegment) {
    const double zooms[] = {1, 0.02, 8, 300};  // whole, tiny, zoomed in, most arcs off the picture
    const DrawingSetup plainPen{1, 1, 0, 0, false};
    for (uint32_t seed = 1; seed <= 3; ++seed)
        for (double zoom : zooms) {
            SceneRandom rnd(seed);
            Shape route("Group2D");
            BuildRoute(route, rnd, 400, 160, 120, zoom);
            int32_t lit = 0;
            ExpectSameBothWays(route, 160, 120, plainPen, 0, 0, &lit);
            EXPECT_GT(lit, zoom == 0.02 ? 0 : 40) << "seed " << seed << " zoom " << zoom << ": the route shows";
        }
}

TEST_F(ShapesTest, ArcsOfEveryKindDrawTheSamePixelsBatchedAndPerSegment) {
    const DrawingSetup setups[] = {
        {1, 1, 0, 0, false},   // the default pen
        {2, 1, 0, 0, false},   // one pixel wide, moved right by one
        {3, 3, 0, 0, false},   // a wide pen: segment by segment
        {1, 1, 7, -5, true},   // origin and clip
        {0, 0, 0, 0, false},
    };
    for (uint32_t seed = 11; seed <= 12; ++seed) {
        SceneRandom rnd(seed);
        Shape mix("Group2D");
        BuildArcMix(mix, rnd, 120, 120, 90);
        for (const DrawingSetup& setup : setups) {
            int32_t lit = 0;
            ExpectSameBothWays(mix, 120, 90, setup, 0, 0, &lit);
            EXPECT_GT(lit, 200) << "seed " << seed;
        }
        int32_t lit = 0;
        ExpectSameBothWays(mix, 120, 90, setups[0], 9, -13, &lit);  // drawn at an offset
    }
}

// Short arcs and straights of huge radius from a dozen pixels outside each
// edge to a dozen inside: the test for arcs off the picture must count the
// origin and the pen as the lines do.
TEST_F(ShapesTest, ArcsAtTheEdgesDrawTheSamePixelsBatchedAndPerSegment) {
    const int32_t w = 60, h = 40;
    Shape edges("Group2D");
    for (int32_t k = -12; k <= 12; ++k) {
        const double places[4][2] = {{double(k), h / 2.0}, {w - 1.0 + k, h / 3.0}, {w / 2.0, double(k)},
                                     {w / 3.0, h - 1.0 + k}};
        for (int e = 0; e < 4; ++e) {
            double x = places[e][0], y = places[e][1];
            double along = e < 2 ? kPi : kPi / 2;  // start angle: the arc runs along the edge
            AddArc(edges, x + 50 * std::cos(along + kPi), y + 50 * std::sin(along + kPi), 100, 100, along, 0.05,
                   kRed, 1);
            double r = 1e8;  // a straight 3 pixels long
            AddArc(edges, x + r * std::cos(along + kPi) + 0.3, y + r * std::sin(along + kPi) + 0.3, 2 * r, 2 * r,
                   along, 3 / r, kBlue, 1);
        }
    }
    const DrawingSetup setups[] = {
        {1, 1, 0, 0, false}, {1, 1, 7, -5, false}, {1, 1, -7, 5, false}, {2, 1, 0, 0, false},
        {1, 2, 3, 3, false}, {3, 3, 0, 0, false},  {5, 1, -4, 0, false},
    };
    for (const DrawingSetup& setup : setups) {
        int32_t lit = 0;
        ExpectSameBothWays(edges, w, h, setup, 0, 0, &lit);
        EXPECT_GT(lit, 100) << setup.penWidth << " x " << setup.penHeight << " at " << setup.originX << ", "
                            << setup.originY;
    }
}

// The box that lets the renderer skip an arc must hold every point the
// arc's outline would have.
TEST_F(ShapesTest, ArcBoundsHoldEveryOutlinePoint) {
    SceneRandom rnd(5);
    Shape group("Group2D");
    BuildArcMix(group, rnd, 300, 120, 90);
    int32_t boxed = 0;
    PointList points;
    for (int32_t i = 0; i < G(group)->count; ++i) {
        ObjectHeader* o = G(group)->members[i];
        if (ShapeTag(o) != kTagArcShape) continue;
        const ArcShapeObject* a = reinterpret_cast<const ArcShapeObject*>(o);
        ShapeBox box;
        if (!ArcBounds(a, &box)) continue;
        ++boxed;
        ArcOutline(a, points);
        for (size_t k = 0; k + 1 < points.size(); ++k) {
            ASSERT_GE(points[k].x, box.minX) << i << " point " << k;
            ASSERT_LE(points[k].x, box.maxX) << i << " point " << k;
            ASSERT_GE(points[k].y, box.minY) << i << " point " << k;
            ASSERT_LE(points[k].y, box.maxY) << i << " point " << k;
        }
    }
    EXPECT_GT(boxed, 250);

    // A short arc gets a box about as small as itself.
    Shape arc("ArcShape");
    R(arc)->width = R(arc)->height = 200;
    SetShapePosition(arc, 0, 0);
    ArcStartAngleSetter(arc, 124, 0);
    reinterpret_cast<ArcShapeObject*>(arc.get())->arcAngle = 0.01;  // (100, 0) to about (100, 1)
    ShapeBox box;
    ASSERT_TRUE(ArcBounds(reinterpret_cast<ArcShapeObject*>(arc.get()), &box));
    EXPECT_NEAR(box.minX, 99.995, 0.001);
    EXPECT_NEAR(box.maxX, 100.00125, 0.0001);  // out to the sagitta
    EXPECT_NEAR(box.minY, 0, 0.001);
    EXPECT_NEAR(box.maxY, 1, 0.001);

    // Values it cannot vouch for leave the arc to be outlined.
    const double bad[] = {NAN, INFINITY, 1e300};
    for (double v : bad) {
        Shape b("ArcShape");
        S(b)->x = v;
        EXPECT_FALSE(ArcBounds(reinterpret_cast<ArcShapeObject*>(b.get()), &box)) << v;
        Shape c("ArcShape");
        reinterpret_cast<ArcShapeObject*>(c.get())->arcAngle = v;
        R(c)->height = v == 1e300 ? v : 100;
        EXPECT_FALSE(ArcBounds(reinterpret_cast<ArcShapeObject*>(c.get()), &box)) << v;
    }
    Shape tiny("ArcShape");
    R(tiny)->width = 1e-300;  // its outline divides by the width
    EXPECT_FALSE(ArcBounds(reinterpret_cast<ArcShapeObject*>(tiny.get()), &box));
}

}  // namespace
