#include "graphics/Shapes2D.h"

#include <cmath>
#include <cstring>

#include "graphics/Picture.h"
#include "graphics/Shapes2DAccessors.h"
#include "objects/ObjectDefinition.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "orvane/exports.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kPi = 3.1415926535897932384626433832795;

template <typename T>
T* Field(ObjectHeader* o, int32_t offset) {
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(o) + offset);
}

GroupObject* AsGroup(ObjectHeader* o) { return reinterpret_cast<GroupObject*>(o); }
CurveShapeObject* AsCurve(ObjectHeader* o) { return reinterpret_cast<CurveShapeObject*>(o); }

// Offsets inside the Object2D fields (and not in the header) are the only
// ones a setter may write: anything else would corrupt the object.
bool DoubleFieldFits(ObjectHeader* o, int32_t offset) {
    if (!o || offset < int32_t(sizeof(ObjectHeader))) return false;
    int32_t size = o->classPtr ? o->classPtr->instanceSize : kObject2DSize;
    return offset <= size - 8;
}

// ---- Transforms ----------------------------------------------------------------------

// Groups being transformed on the current path; a group that holds itself
// (directly or further down) is not entered again.
ObjectHeader* gTransformPath[kShapeNestingBudget];
int32_t gTransformDepth = 0;

class TransformScope {
public:
    explicit TransformScope(ObjectHeader* group) : entered_(false) {
        if (gTransformDepth >= kShapeNestingBudget) return;
        for (int32_t i = 0; i < gTransformDepth; ++i)
            if (gTransformPath[i] == group) return;
        gTransformPath[gTransformDepth++] = group;
        entered_ = true;
    }
    ~TransformScope() {
        if (entered_) --gTransformDepth;
    }
    TransformScope(const TransformScope&) = delete;
    TransformScope& operator=(const TransformScope&) = delete;
    bool Entered() const { return entered_; }

private:
    bool entered_;
};

void RotateAbout(double cx, double cy, double cosA, double sinA, double* x, double* y) {
    double dx = *x - cx, dy = *y - cy;
    *x = cx + dx * cosA - dy * sinA;
    *y = cy + dx * sinA + dy * cosA;
}

void MoveGroupMembers(ObjectHeader* group, int32_t offset, double delta) {
    GroupObject* g = AsGroup(group);
    for (int32_t i = 0; i < g->count; ++i) {
        ObjectHeader* m = g->members[i];
        if (!m) continue;
        Object2DDoubleSetter(m, offset, *Field<double>(m, offset) + delta);
    }
}

void ScaleGroupMembers(ObjectHeader* group, double f) {
    GroupObject* g = AsGroup(group);
    double gx = g->base.x, gy = g->base.y;
    for (int32_t i = 0; i < g->count; ++i) {
        ObjectHeader* m = g->members[i];
        if (!m) continue;
        Object2DObject* s = AsShape(m);
        double mx = gx + (s->x - gx) * f;
        double my = gy + (s->y - gy) * f;
        SetShapePosition(m, mx, my);
        Object2DDoubleSetter(m, kShapeScaleAt, AsShape(m)->scale * f);
    }
}

void RotateGroupMembers(ObjectHeader* group, double a) {
    GroupObject* g = AsGroup(group);
    double gx = g->base.x, gy = g->base.y;
    double cosA = std::cos(a), sinA = std::sin(a);
    for (int32_t i = 0; i < g->count; ++i) {
        ObjectHeader* m = g->members[i];
        if (!m) continue;
        Object2DObject* s = AsShape(m);
        double mx = s->x, my = s->y;
        RotateAbout(gx, gy, cosA, sinA, &mx, &my);
        SetShapePosition(m, mx, my);
        Object2DDoubleSetter(m, kShapeRotationAt, AsShape(m)->rotation + a);
    }
}

// The end point and both control points of a curve.
void ForEachCurvePoint(CurveShapeObject* c, void (*fn)(double* x, double* y, const void* ctx), const void* ctx) {
    fn(&c->x2, &c->y2, ctx);
    fn(&c->control[0][0], &c->control[0][1], ctx);
    fn(&c->control[1][0], &c->control[1][1], ctx);
}

struct ScaleAbout {
    double cx, cy, f;
};
struct TurnAbout {
    double cx, cy, cosA, sinA;
};

void ApplyCurveTransform(CurveShapeObject* c, int32_t offset, double value) {
    switch (offset) {
    case kShapeXAt: {
        double d = value - c->base.x;
        c->x2 += d;
        c->control[0][0] += d;
        c->control[1][0] += d;
        c->base.x = value;
        break;
    }
    case kShapeYAt: {
        double d = value - c->base.y;
        c->y2 += d;
        c->control[0][1] += d;
        c->control[1][1] += d;
        c->base.y = value;
        break;
    }
    case kShapeScaleAt: {
        if (!(value > 0)) return;
        ScaleAbout s{c->base.x, c->base.y, value / c->base.scale};
        if (std::isfinite(s.f))
            ForEachCurvePoint(c, [](double* x, double* y, const void* ctx) {
                const ScaleAbout& s = *static_cast<const ScaleAbout*>(ctx);
                *x = s.cx + (*x - s.cx) * s.f;
                *y = s.cy + (*y - s.cy) * s.f;
            }, &s);
        c->base.scale = value;
        break;
    }
    case kShapeRotationAt: {
        double a = value - c->base.rotation;
        TurnAbout t{c->base.x, c->base.y, std::cos(a), std::sin(a)};
        ForEachCurvePoint(c, [](double* x, double* y, const void* ctx) {
            const TurnAbout& t = *static_cast<const TurnAbout*>(ctx);
            RotateAbout(t.cx, t.cy, t.cosA, t.sinA, x, y);
        }, &t);
        c->base.rotation = value;
        break;
    }
    }
}

void ApplyGroupTransform(ObjectHeader* group, int32_t offset, double value) {
    Object2DObject* g = AsShape(group);
    if (offset == kShapeScaleAt && !(value > 0)) return;
    TransformScope scope(group);
    if (scope.Entered()) {
        switch (offset) {
        case kShapeXAt: MoveGroupMembers(group, offset, value - g->x); break;
        case kShapeYAt: MoveGroupMembers(group, offset, value - g->y); break;
        case kShapeScaleAt: {
            double f = value / g->scale;
            if (std::isfinite(f)) ScaleGroupMembers(group, f);
            break;
        }
        case kShapeRotationAt: RotateGroupMembers(group, value - g->rotation); break;
        }
    }
    *Field<double>(group, offset) = value;
}

// ---- Group storage ----------------------------------------------------------------------

bool ResizeMembers(GroupObject* g, int32_t capacity) {
    if (capacity < g->count || capacity > (INT32_MAX / 4)) return false;
    ObjectHeader** fresh = nullptr;
    if (capacity > 0) {
        fresh = static_cast<ObjectHeader**>(PoolAlloc(capacity * 4, true));
        if (!fresh) return false;
        if (g->count) std::memcpy(fresh, g->members, size_t(g->count) * 4);
    }
    if (g->members) PoolFree(g->members, g->capacity * 4);
    g->members = fresh;
    g->capacity = capacity;
    return true;
}

int32_t GrowthStep(const GroupObject* g) { return g->growthStep > 0 ? g->growthStep : 0; }

bool MakeRoom(GroupObject* g) {
    if (g->count < g->capacity) return true;
    int64_t grow = GrowthStep(g) ? GrowthStep(g) : g->capacity;
    if (grow < 16) grow = 16;
    int64_t capacity = int64_t(g->capacity) + grow;
    if (capacity > INT32_MAX / 4) capacity = INT32_MAX / 4;
    return capacity > g->count && ResizeMembers(g, int32_t(capacity));
}

void ShrinkAfterRemoval(GroupObject* g) {
    int64_t step = GrowthStep(g);
    if (int64_t(g->capacity) - g->count <= 2 * step) return;
    int64_t unit = step ? step : 16;
    int64_t capacity = (g->count / unit + 1) * unit;
    if (capacity < g->capacity) ResizeMembers(g, int32_t(capacity));
}

void InsertMember(GroupObject* g, int32_t index, ObjectHeader* object) {
    if (!MakeRoom(g)) return;
    RuntimeLockObject(object);
    std::memmove(g->members + index + 1, g->members + index, size_t(g->count - index) * 4);
    g->members[index] = object;
    ++g->count;
}

void RemoveMember(GroupObject* g, int32_t index) {
    ObjectHeader* old = g->members[index];
    std::memmove(g->members + index, g->members + index + 1, size_t(g->count - index - 1) * 4);
    --g->count;
    ShrinkAfterRemoval(g);
    RuntimeUnlockObject(old);
}

// ---- Curves made by a figure ------------------------------------------------------------

ClassRecord* CurveShapeClass() {
    static ClassRecord* cls = nullptr;
    if (!cls) {
        StringHandle name("CurveShape");
        cls = RuntimeLookupClass(name.Get());
    }
    return cls;
}

void AddCurve(ObjectHeader* figure, int32_t order, double x1, double y1, double x2, double y2,
              double cx1, double cy1, double cx2, double cy2) {
    if (!figure) return;
    ObjectHeader* curve = RuntimeNewObject(CurveShapeClass());
    if (!curve) return;
    CurveShapeObject* c = AsCurve(curve);
    c->order = order;
    c->base.x = x1;
    c->base.y = y1;
    c->x2 = x2;
    c->y2 = y2;
    c->control[0][0] = cx1;
    c->control[0][1] = cy1;
    c->control[1][0] = cx2;
    c->control[1][1] = cy2;
    Group2DAppend(figure, curve);
    RuntimeUnlockObject(curve);
}

// ---- Hit test -------------------------------------------------------------------------------

double AngleIn0To2Pi(double a) {
    double r = std::fmod(a, kTwoPi);
    if (r < 0) r += kTwoPi;
    return r;
}

bool InsideOval(double x, double y, double w, double h) {
    if (!(-w / 2 < x && x < w / 2 && -h / 2 < y && y < h / 2)) return false;
    double ys = y * w / h;
    return x * x + ys * ys < (w / 2) * (w / 2);
}

bool InsideArc(const ArcShapeObject* a, double x, double y) {
    double w = a->oval.rect.width, h = a->oval.rect.height;
    if (!InsideOval(x, y, w, h)) return false;
    double angle = AngleIn0To2Pi(std::atan2(y * w / h, x));
    double sweep = a->arcAngle;
    if (!std::isfinite(sweep)) return false;
    if (std::fabs(sweep) >= kTwoPi) return true;
    double from = sweep >= 0 ? AngleIn0To2Pi(angle - a->startAngle) : AngleIn0To2Pi(a->startAngle - angle);
    return from <= std::fabs(sweep);
}

bool InsideRoundRect(const RoundRectShapeObject* r, double x, double y) {
    double w = r->rect.width, h = r->rect.height;
    if (!(-w / 2 < x && x < w / 2 && -h / 2 < y && y < h / 2)) return false;
    double cw = r->cornerWidth < w ? r->cornerWidth : w;
    double ch = r->cornerHeight < h ? r->cornerHeight : h;
    if (!(cw > 0) || !(ch > 0)) return true;
    double ex = std::fabs(x) - (w - cw) / 2, ey = std::fabs(y) - (h - ch) / 2;
    if (ex <= 0 || ey <= 0) return true;
    double u = ex / (cw / 2), v = ey / (ch / 2);
    return u * u + v * v < 1;
}

}  // namespace

// ---- Helpers --------------------------------------------------------------------------------

bool IsRectFamilyTag(uint32_t tag) {
    return tag == kTagRectShape || tag == kTagRoundRectShape || tag == kTagOvalShape || tag == kTagArcShape ||
           tag == kTagPixmapShape;
}

void SetShapePosition(ObjectHeader* shape, double x, double y) {
    Object2DDoubleSetter(shape, kShapeXAt, x);
    Object2DDoubleSetter(shape, kShapeYAt, y);
}

ObjectHeader* GroupMember(ObjectHeader* group, int32_t index) {
    if (!group || !IsGroupTag(ShapeTag(group))) return nullptr;
    GroupObject* g = AsGroup(group);
    return index >= 0 && index < g->count ? g->members[index] : nullptr;
}

// ---- Initializers and finalizers ---------------------------------------------------------------

extern "C" void __cdecl Object2DInit(ObjectHeader* self) {
    Object2DObject* s = AsShape(self);
    s->tag = kTagObject2D;
    s->scale = 1.0;
    s->fillOpacity = 1.0;
    s->borderOpacity = 0;
    s->borderWidth = 1.0;
}

extern "C" void __cdecl RectShapeInit(ObjectHeader* self) {
    RectShapeObject* r = reinterpret_cast<RectShapeObject*>(self);
    r->base.tag = kTagRectShape;
    r->width = 100.0;
    r->height = 100.0;
}

extern "C" void __cdecl RoundRectShapeInit(ObjectHeader* self) { AsShape(self)->tag = kTagRoundRectShape; }
extern "C" void __cdecl OvalShapeInit(ObjectHeader* self) { AsShape(self)->tag = kTagOvalShape; }

extern "C" void __cdecl ArcShapeInit(ObjectHeader* self) {
    ArcShapeObject* a = reinterpret_cast<ArcShapeObject*>(self);
    a->oval.rect.base.tag = kTagArcShape;
    a->startAngle = 0;
    a->arcAngle = kPi / 2;
}

extern "C" void __cdecl PixmapShapeInit(ObjectHeader* self) { AsShape(self)->tag = kTagPixmapShape; }

extern "C" void __cdecl PixmapShapeFini(ObjectHeader* self) {
    PixmapShapeObject* p = reinterpret_cast<PixmapShapeObject*>(self);
    ObjectHeader* image = p->image;
    p->image = nullptr;
    RuntimeUnlockObject(image);
}

extern "C" void __cdecl StringShapeInit(ObjectHeader* self) {
    StringShapeObject* s = reinterpret_cast<StringShapeObject*>(self);
    s->base.tag = kTagStringShape;
    s->textSize = 12.0;
    s->text = StringMakeC("-");
    s->textFont = StringMakeC("System");
}

extern "C" void __cdecl StringShapeFini(ObjectHeader* self) {
    StringShapeObject* s = reinterpret_cast<StringShapeObject*>(self);
    StringRelease(s->text);
    StringRelease(s->textFont);
    s->text = s->textFont = nullptr;
}

extern "C" void __cdecl CurveShapeInit(ObjectHeader* self) {
    CurveShapeObject* c = reinterpret_cast<CurveShapeObject*>(self);
    c->base.tag = kTagCurveShape;
    c->base.fillOpacity = 0;
    c->base.borderOpacity = 1.0;
    c->x2 = 100.0;
    c->y2 = 100.0;
}

extern "C" void __cdecl Group2DInit(ObjectHeader* self) {
    GroupObject* g = AsGroup(self);
    g->base.tag = kTagGroup2D;
    g->growthStep = 16;
}

extern "C" void __cdecl FigureShapeInit(ObjectHeader* self) {
    Group2DInit(self);
    AsShape(self)->tag = kTagFigureShape;
}

extern "C" void __cdecl Group2DFini(ObjectHeader* self) {
    GroupObject* g = AsGroup(self);
    ObjectHeader** members = g->members;
    int32_t count = g->count, capacity = g->capacity;
    g->members = nullptr;
    g->count = g->capacity = 0;
    for (int32_t i = 0; i < count; ++i) RuntimeUnlockObject(members[i]);
    if (members) PoolFree(members, capacity * 4);
}

// ---- Property accessors ---------------------------------------------------------------------------

extern "C" void __cdecl Object2DDoubleSetter(ObjectHeader* shape, int32_t offset, double value) {
    if (!DoubleFieldFits(shape, offset)) return;
    bool transform = offset == kShapeXAt || offset == kShapeYAt || offset == kShapeScaleAt ||
                     offset == kShapeRotationAt;
    uint32_t tag = ShapeTag(shape);
    if (transform && IsGroupTag(tag))
        ApplyGroupTransform(shape, offset, value);
    else if (transform && tag == kTagCurveShape)
        ApplyCurveTransform(AsCurve(shape), offset, value);
    else
        *Field<double>(shape, offset) = value;
}

extern "C" double __cdecl doublePercentGetter(ObjectHeader* shape, int32_t offset) {
    if (!DoubleFieldFits(shape, offset)) return 0;
    return *Field<double>(shape, offset) * 100;
}

extern "C" void __cdecl doublePercentSetter(ObjectHeader* shape, int32_t offset, double value) {
    if (!DoubleFieldFits(shape, offset)) return;
    *Field<double>(shape, offset) = value * 0.01;
}

extern "C" void __cdecl ArcStartAngleSetter(ObjectHeader* arc, int32_t parameter, double value) {
    if (!arc) return;
    double r = std::fmod(value, kTwoPi);
    if (r < 0) r += kTwoPi;
    // -tiny + 2 pi rounds to 2 pi itself, which is outside the range.
    if (r >= kTwoPi) r = 0;
    reinterpret_cast<ArcShapeObject*>(arc)->startAngle = r;
}

extern "C" void __cdecl CurveOrderSetter(ObjectHeader* curve, int32_t parameter, int32_t value) {
    if (!curve) return;
    if (value < 0 || value > 2) {
        RaiseOutOfBoundsException();
        return;
    }
    AsCurve(curve)->order = value;
}

namespace {
double* ControlField(ObjectHeader* curve, int32_t index, int32_t coordinate) {
    if (!curve) return nullptr;
    if (index < 0 || index > 1) {
        RaiseOutOfBoundsException();
        return nullptr;
    }
    return &AsCurve(curve)->control[index][coordinate];
}
}  // namespace

extern "C" double __cdecl CurveGetControlX(ObjectHeader* curve, int32_t index) {
    double* f = ControlField(curve, index, 0);
    return f ? *f : 0;
}

extern "C" double __cdecl CurveGetControlY(ObjectHeader* curve, int32_t index) {
    double* f = ControlField(curve, index, 1);
    return f ? *f : 0;
}

extern "C" void __cdecl CurveSetControlX(ObjectHeader* curve, int32_t index, double value) {
    if (double* f = ControlField(curve, index, 0)) *f = value;
}

extern "C" void __cdecl CurveSetControlY(ObjectHeader* curve, int32_t index, double value) {
    if (double* f = ControlField(curve, index, 1)) *f = value;
}

// ---- Group methods -------------------------------------------------------------------------------

extern "C" int32_t __cdecl Group2DCount(ObjectHeader* group, int32_t parameter) {
    return group ? AsGroup(group)->count : 0;
}

extern "C" void __cdecl Group2DAppend(ObjectHeader* group, ObjectHeader* object) {
    if (!group) return;
    InsertMember(AsGroup(group), AsGroup(group)->count, object);
}

extern "C" void __cdecl Group2DInsert(ObjectHeader* group, int32_t index, ObjectHeader* object) {
    if (!group) return;
    GroupObject* g = AsGroup(group);
    if (index < 0 || index > g->count) {
        RaiseOutOfBoundsException();
        return;
    }
    InsertMember(g, index, object);
}

extern "C" ObjectHeader* __cdecl Group2DGetItem(ObjectHeader* group, int32_t index) {
    if (!group) return nullptr;
    GroupObject* g = AsGroup(group);
    if (index < 0 || index >= g->count) {
        RaiseOutOfBoundsException();
        return nullptr;
    }
    ObjectHeader* m = g->members[index];
    RuntimeLockObject(m);
    return m;
}

extern "C" void __cdecl Group2DSetItem(ObjectHeader* group, int32_t index, ObjectHeader* object) {
    if (!group) return;
    GroupObject* g = AsGroup(group);
    if (index < 0 || index >= g->count) {
        RaiseOutOfBoundsException();
        return;
    }
    ObjectHeader* old = g->members[index];
    RuntimeLockObject(object);
    g->members[index] = object;
    RuntimeUnlockObject(old);
}

extern "C" void __cdecl Group2DRemoveByIndex(ObjectHeader* group, int32_t index) {
    if (!group) return;
    GroupObject* g = AsGroup(group);
    if (index < 0 || index >= g->count) {
        RaiseOutOfBoundsException();
        return;
    }
    RemoveMember(g, index);
}

extern "C" void __cdecl Group2DRemoveByObject(ObjectHeader* group, ObjectHeader* object) {
    if (!group) return;
    GroupObject* g = AsGroup(group);
    for (int32_t i = 0; i < g->count; ++i)
        if (g->members[i] == object) {
            RemoveMember(g, i);
            return;
        }
}

// ---- Figure methods -------------------------------------------------------------------------------

extern "C" void __cdecl FigureShapeAddLine(ObjectHeader* figure, float x1, float y1, float x2, float y2) {
    AddCurve(figure, 0, x1, y1, x2, y2, 0, 0, 0, 0);
}

extern "C" void __cdecl FigureShapeAddQuad(ObjectHeader* figure, float x1, float y1, float x2, float y2,
                                           float cx1, float cy1) {
    AddCurve(figure, 1, x1, y1, x2, y2, cx1, cy1, 0, 0);
}

extern "C" void __cdecl FigureShapeAddCubic(ObjectHeader* figure, float x1, float y1, float x2, float y2,
                                            float cx1, float cy1, float cx2, float cy2) {
    AddCurve(figure, 2, x1, y1, x2, y2, cx1, cy1, cx2, cy2);
}

// ---- Hit test -------------------------------------------------------------------------------------

extern "C" int32_t __cdecl RectShapeContains(ObjectHeader* shape, double x, double y) {
    uint32_t tag = ShapeTag(shape);
    if (!IsRectFamilyTag(tag)) return 0;
    const RectShapeObject* r = reinterpret_cast<const RectShapeObject*>(shape);
    double lx = x - r->base.x, ly = y - r->base.y;
    double rot = r->base.rotation;
    if (!(rot > -0.00001 && rot < 0.00001)) {
        double c = std::cos(-rot), s = std::sin(-rot);
        double tx = lx * c - ly * s;
        ly = lx * s + ly * c;
        lx = tx;
    }
    lx /= r->base.scale;
    ly /= r->base.scale;
    double w = r->width, h = r->height;
    bool inside;
    switch (tag) {
    case kTagOvalShape: inside = InsideOval(lx, ly, w, h); break;
    case kTagArcShape: inside = InsideArc(reinterpret_cast<const ArcShapeObject*>(shape), lx, ly); break;
    case kTagRoundRectShape:
        inside = InsideRoundRect(reinterpret_cast<const RoundRectShapeObject*>(shape), lx, ly);
        break;
    default: inside = -w / 2 < lx && lx < w / 2 && -h / 2 < ly && ly < h / 2; break;
    }
    return inside ? 1 : 0;
}

// ---- PixmapShape constructors -------------------------------------------------------------------------

extern "C" void __cdecl PixmapShapeConstructor(ObjectHeader* shape) {}

extern "C" void __cdecl PixmapShapeConstructorImage(ObjectHeader* shape, ObjectHeader* image) {
    if (!shape) return;
    PixmapShapeObject* p = reinterpret_cast<PixmapShapeObject*>(shape);
    RuntimeLockUnlockObjects(image, p->image);
    p->image = image;
    // Made from a picture, the shape shows all of it at its own size.
    ClassRecord* picture = ClassOfDefinition(PictureDefinition());
    if (image && picture && RuntimeObjectIsa(image, picture) && pictureWidthGetter(image, 0) > 0) {
        p->sourceLeft = p->sourceTop = 0;
        p->sourceWidth = pictureWidthGetter(image, 0);
        p->sourceHeight = pictureHeightGetter(image, 0);
        p->rect.width = p->sourceWidth;
        p->rect.height = p->sourceHeight;
    }
}
