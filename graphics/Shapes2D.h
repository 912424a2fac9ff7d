// Object2D and its subclasses: the instance layouts compiled module code
// reads and writes, the type tags, the initializers and finalizers, the
// transform setter, group storage and the hit test.
// The entry points themselves are declared in orvane/exports.h.
// Unit group "drawing classes" (Graphics, Picture, Shapes2D, ShapePlotter):
// its units use each other on purpose, since a Graphics draws pictures and
// shapes, a picture has a Graphics and may hold shapes, and a pixmap shape
// shows a picture. Below them: ShapeOutlines, DrawingContext, PixelMap, FontCache.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"

// ---- Type tags: the intrinsic kind of a shape, stored by its initializer ----------

enum : uint32_t {
    kTagObject2D = 0x6F623244,
    kTagRectShape = 0x72656374,
    kTagRoundRectShape = 0x726F756E,
    kTagOvalShape = 0x6F76616C,
    kTagArcShape = 0x61726320,
    kTagPixmapShape = 0x70697820,
    kTagStringShape = 0x7374726E,
    kTagCurveShape = 0x63757276,
    kTagGroup2D = 0x67727570,
    kTagFigureShape = 0x66696772,
};

// ---- Instance layouts (header included) -------------------------------------------

#pragma pack(push, 4)
struct Object2DObject {
    ObjectHeader header;
    uint32_t tag;
    uint32_t fillColor;
    uint32_t borderColor;
    uint32_t reserved;
    double x, y;
    double rotation;  // radians
    double scale;
    double fillOpacity;    // 0-1; Fill is 100 x this
    double borderOpacity;  // 0-1; Border is 100 x this
    double borderWidth;
};

struct RectShapeObject {
    Object2DObject base;
    double width, height;
};

struct RoundRectShapeObject {
    RectShapeObject rect;
    double cornerWidth, cornerHeight;
    int32_t segments;
};

struct OvalShapeObject {
    RectShapeObject rect;
    int32_t segments;
    uint32_t unused;
};

struct ArcShapeObject {
    OvalShapeObject oval;
    double startAngle;  // kept in [0, 2 pi)
    double arcAngle;    // negative turns the other way
};

struct PixmapShapeObject {
    RectShapeObject rect;
    ObjectHeader* image;  // Picture, one reference
    int32_t sourceLeft, sourceTop, sourceWidth, sourceHeight;
};

struct StringShapeObject {
    Object2DObject base;
    double textSize;
    StringValue* text;  // one reference each
    StringValue* textFont;
    uint8_t bold, italic, underline;
    uint8_t unused;
};

struct CurveShapeObject {
    Object2DObject base;
    double x2, y2;
    double control[2][2];  // (x, y) of control points 1 and 2
    int32_t order;         // 0 line, 1 quadratic, 2 cubic
    int32_t segments;
};

// Group2D and FigureShape.
struct GroupObject {
    Object2DObject base;
    int32_t growthStep;
    ObjectHeader** members;  // each locked while in the group
    int32_t count;
    int32_t capacity;
};
#pragma pack(pop)

constexpr int32_t kObject2DSize = 100;
constexpr int32_t kRectShapeSize = 116;
constexpr int32_t kRoundRectShapeSize = 136;
constexpr int32_t kOvalShapeSize = 124;
constexpr int32_t kArcShapeSize = 140;
constexpr int32_t kPixmapShapeSize = 136;
constexpr int32_t kStringShapeSize = 120;
constexpr int32_t kCurveShapeSize = 156;
constexpr int32_t kGroup2DSize = 116;
constexpr int32_t kFigureShapeSize = 116;

// Field offsets module code passes to the accessors.
constexpr int32_t kShapeXAt = 44;
constexpr int32_t kShapeYAt = 52;
constexpr int32_t kShapeRotationAt = 60;
constexpr int32_t kShapeScaleAt = 68;

static_assert(sizeof(Object2DObject) == kObject2DSize, "Object2D size");
static_assert(offsetof(Object2DObject, tag) == 28, "Object2D tag");
static_assert(offsetof(Object2DObject, fillColor) == 32, "Object2D FillColor");
static_assert(offsetof(Object2DObject, borderColor) == 36, "Object2D BorderColor");
static_assert(offsetof(Object2DObject, reserved) == 40, "Object2D reserved");
static_assert(offsetof(Object2DObject, x) == kShapeXAt, "Object2D X");
static_assert(offsetof(Object2DObject, y) == kShapeYAt, "Object2D Y");
static_assert(offsetof(Object2DObject, rotation) == kShapeRotationAt, "Object2D Rotation");
static_assert(offsetof(Object2DObject, scale) == kShapeScaleAt, "Object2D Scale");
static_assert(offsetof(Object2DObject, fillOpacity) == 76, "Object2D fill opacity");
static_assert(offsetof(Object2DObject, borderOpacity) == 84, "Object2D border opacity");
static_assert(offsetof(Object2DObject, borderWidth) == 92, "Object2D BorderWidth");

static_assert(sizeof(RectShapeObject) == kRectShapeSize, "RectShape size");
static_assert(offsetof(RectShapeObject, width) == 100, "RectShape Width");
static_assert(offsetof(RectShapeObject, height) == 108, "RectShape Height");

static_assert(sizeof(RoundRectShapeObject) == kRoundRectShapeSize, "RoundRectShape size");
static_assert(offsetof(RoundRectShapeObject, cornerWidth) == 116, "RoundRectShape CornerWidth");
static_assert(offsetof(RoundRectShapeObject, cornerHeight) == 124, "RoundRectShape CornerHeight");
static_assert(offsetof(RoundRectShapeObject, segments) == 132, "RoundRectShape Segments");

static_assert(sizeof(OvalShapeObject) == kOvalShapeSize, "OvalShape size");
static_assert(offsetof(OvalShapeObject, segments) == 116, "OvalShape Segments");

static_assert(sizeof(ArcShapeObject) == kArcShapeSize, "ArcShape size: module subclasses start at 140");
static_assert(offsetof(ArcShapeObject, startAngle) == 124, "ArcShape StartAngle");
static_assert(offsetof(ArcShapeObject, arcAngle) == 132, "ArcShape ArcAngle");

static_assert(sizeof(PixmapShapeObject) == kPixmapShapeSize, "PixmapShape size");
static_assert(offsetof(PixmapShapeObject, image) == 116, "PixmapShape Image");
static_assert(offsetof(PixmapShapeObject, sourceLeft) == 120, "PixmapShape SourceLeft");
static_assert(offsetof(PixmapShapeObject, sourceTop) == 124, "PixmapShape SourceTop");
static_assert(offsetof(PixmapShapeObject, sourceWidth) == 128, "PixmapShape SourceWidth");
static_assert(offsetof(PixmapShapeObject, sourceHeight) == 132, "PixmapShape SourceHeight");

static_assert(sizeof(StringShapeObject) == kStringShapeSize, "StringShape size");
static_assert(offsetof(StringShapeObject, textSize) == 100, "StringShape TextSize");
static_assert(offsetof(StringShapeObject, text) == 108, "StringShape Text");
static_assert(offsetof(StringShapeObject, textFont) == 112, "StringShape TextFont");
static_assert(offsetof(StringShapeObject, bold) == 116, "StringShape Bold");
static_assert(offsetof(StringShapeObject, italic) == 117, "StringShape Italic");
static_assert(offsetof(StringShapeObject, underline) == 118, "StringShape Underline");

static_assert(sizeof(CurveShapeObject) == kCurveShapeSize, "CurveShape size");
static_assert(offsetof(CurveShapeObject, x2) == 100, "CurveShape X2");
static_assert(offsetof(CurveShapeObject, y2) == 108, "CurveShape Y2");
static_assert(offsetof(CurveShapeObject, control) == 116, "CurveShape control points");
static_assert(offsetof(CurveShapeObject, order) == 148, "CurveShape Order");
static_assert(offsetof(CurveShapeObject, segments) == 152, "CurveShape Segments");

static_assert(sizeof(GroupObject) == kGroup2DSize && kGroup2DSize == kFigureShapeSize, "Group2D size");
static_assert(offsetof(GroupObject, growthStep) == 100, "Group2D growth step");
static_assert(offsetof(GroupObject, members) == 104, "Group2D members");
static_assert(offsetof(GroupObject, count) == 108, "Group2D Count");
static_assert(offsetof(GroupObject, capacity) == 112, "Group2D capacity");

// ---- Views ----------------------------------------------------------------------------

inline Object2DObject* AsShape(ObjectHeader* o) { return reinterpret_cast<Object2DObject*>(o); }
inline uint32_t ShapeTag(ObjectHeader* o) { return o ? AsShape(o)->tag : 0; }
inline bool IsGroupTag(uint32_t tag) { return tag == kTagGroup2D || tag == kTagFigureShape; }
// Tags whose instances carry the RectShape fields.
bool IsRectFamilyTag(uint32_t tag);

// ---- Initializers and finalizers (each class stores its own fields) ------------------

extern "C" {
void __cdecl Object2DInit(ObjectHeader* self);
void __cdecl RectShapeInit(ObjectHeader* self);
void __cdecl RoundRectShapeInit(ObjectHeader* self);
void __cdecl OvalShapeInit(ObjectHeader* self);
void __cdecl ArcShapeInit(ObjectHeader* self);
void __cdecl PixmapShapeInit(ObjectHeader* self);
void __cdecl PixmapShapeFini(ObjectHeader* self);
void __cdecl StringShapeInit(ObjectHeader* self);
void __cdecl StringShapeFini(ObjectHeader* self);
void __cdecl CurveShapeInit(ObjectHeader* self);
void __cdecl Group2DInit(ObjectHeader* self);
void __cdecl FigureShapeInit(ObjectHeader* self);
void __cdecl Group2DFini(ObjectHeader* self);
}

// ---- Runtime-side helpers ---------------------------------------------------------------

// The two-coordinate position setter: X then Y through the transform setter.
void SetShapePosition(ObjectHeader* shape, double x, double y);
// Member i of a group or figure (borrowed), nil outside the count.
ObjectHeader* GroupMember(ObjectHeader* group, int32_t index);

// Nested groups are followed this deep by the transform setter and the renderer.
constexpr int32_t kShapeNestingBudget = 128;
