// The shape classes: their property and method rows and definitions.
#include "graphics/Shapes2D.h"
#include "graphics/Shapes2DAccessors.h"
#include "objects/ObjectDefinition.h"

ObjectDefinition* Object2DDefinition();
ObjectDefinition* RectShapeDefinition();
ObjectDefinition* RoundRectShapeDefinition();
ObjectDefinition* OvalShapeDefinition();
ObjectDefinition* ArcShapeDefinition();
ObjectDefinition* PixmapShapeDefinition();
ObjectDefinition* StringShapeDefinition();
ObjectDefinition* CurveShapeDefinition();
ObjectDefinition* Group2DDefinition();
ObjectDefinition* FigureShapeDefinition();

namespace {

const ClassTypeRef kObject2DType = ORVANE_CLASS_TYPE("Object2D");
const ClassTypeRef kCurveShapeType = ORVANE_CLASS_TYPE("CurveShape");
const ClassTypeRef kPictureType = ORVANE_CLASS_TYPE("Picture");

#define DOUBLE_PROPERTY(name, offset) {0, name, &kDoubleType, nullptr, "doubleGetter", nullptr, "doubleSetter", offset}
#define INT_PROPERTY(name, offset) {0, name, &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", offset}
#define TRANSFORM_PROPERTY(name, offset) \
    {0, name, &kDoubleType, nullptr, "doubleGetter", Fn(Object2DDoubleSetter), "Object2DDoubleSetter", offset}

PropertyRow kObject2DProperties[] = {
    TRANSFORM_PROPERTY("X", kShapeXAt),
    TRANSFORM_PROPERTY("Y", kShapeYAt),
    TRANSFORM_PROPERTY("Rotation", kShapeRotationAt),
    TRANSFORM_PROPERTY("Scale", kShapeScaleAt),
    {0, "Fill", &kDoubleType, Fn(doublePercentGetter), "doublePercentGetter", Fn(doublePercentSetter),
     "doublePercentSetter", 76},
    {0, "Border", &kDoubleType, Fn(doublePercentGetter), "doublePercentGetter", Fn(doublePercentSetter),
     "doublePercentSetter", 84},
    {0, "FillColor", &kColorType, nullptr, "intGetter", nullptr, "intSetter", 32},
    {0, "BorderColor", &kColorType, nullptr, "intGetter", nullptr, "intSetter", 36},
    DOUBLE_PROPERTY("BorderWidth", 92),
};

PropertyRow kRectShapeProperties[] = {
    DOUBLE_PROPERTY("Width", 100),
    DOUBLE_PROPERTY("Height", 108),
};

ParameterRecord kPointParameters[] = {
    {"x", &kDoubleType, 0, {}, {}},
    {"y", &kDoubleType, 0, {}, {}},
};

MethodRow kRectShapeMethods[] = {
    {"Contains", &kBooleanType, kPointParameters, 2, Fn(RectShapeContains), "RectShapeContains", {}, nullptr,
     nullptr, {}, 0},
};

PropertyRow kRoundRectShapeProperties[] = {
    INT_PROPERTY("Segments", 132),
    DOUBLE_PROPERTY("CornerWidth", 116),
    DOUBLE_PROPERTY("CornerHeight", 124),
};

PropertyRow kOvalShapeProperties[] = {
    INT_PROPERTY("Segments", 116),
};

PropertyRow kArcShapeProperties[] = {
    {0, "StartAngle", &kDoubleType, nullptr, "doubleGetter", Fn(ArcStartAngleSetter), "ArcStartAngleSetter", 124},
    DOUBLE_PROPERTY("ArcAngle", 132),
};

PropertyRow kPixmapShapeProperties[] = {
    {0, "Image", &kPictureType.header, nullptr, "objGetter", nullptr, "objSetter", 116},
    INT_PROPERTY("SourceLeft", 120),
    INT_PROPERTY("SourceTop", 124),
    INT_PROPERTY("SourceWidth", 128),
    INT_PROPERTY("SourceHeight", 132),
};

ParameterRecord kImageParameter[] = {
    {"image", &kPictureType.header, 0, {}, {}},
};

MethodRow kPixmapShapeMethods[] = {
    {"PixmapShape", nullptr, nullptr, 0, Fn(PixmapShapeConstructor), "PixmapShapeConstructor", {}, nullptr,
     nullptr, {}, 0},
    {"PixmapShape", nullptr, kImageParameter, 1, Fn(PixmapShapeConstructorImage), "PixmapShapeConstructorImage",
     {}, nullptr, nullptr, {}, 0},
};

PropertyRow kStringShapeProperties[] = {
    {0, "Text", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 108},
    {0, "TextFont", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 112},
    DOUBLE_PROPERTY("TextSize", 100),
    {0, "Bold", &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", 116},
    {0, "Italic", &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", 117},
    {0, "Underline", &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", 118},
};

PropertyRow kCurveShapeProperties[] = {
    DOUBLE_PROPERTY("X2", 100),
    DOUBLE_PROPERTY("Y2", 108),
    {0, "Order", &kIntegerType, nullptr, "intGetter", Fn(CurveOrderSetter), "CurveOrderSetter", 148},
    INT_PROPERTY("Segments", 152),
};

ParameterRecord kIndexParameter[] = {
    {"index", &kIntegerType, 0, {}, {}},
};

MethodRow kCurveShapeMethods[] = {
    {"ControlX", &kDoubleType, kIndexParameter, 1, Fn(CurveGetControlX), "CurveGetControlX", {},
     Fn(CurveSetControlX), "CurveSetControlX", {}, 0},
    {"ControlY", &kDoubleType, kIndexParameter, 1, Fn(CurveGetControlY), "CurveGetControlY", {},
     Fn(CurveSetControlY), "CurveSetControlY", {}, 0},
};

PropertyRow kGroupProperties[] = {
    {0, "Count", &kIntegerType, Fn(Group2DCount), "Group2DCount", nullptr, nullptr, 0},
};

ParameterRecord kGroupObjectParameter[] = {
    {"object2D", &kObject2DType.header, 0, {}, {}},
};
ParameterRecord kGroupIndexObjectParameters[] = {
    {"index", &kIntegerType, 0, {}, {}},
    {"object2D", &kObject2DType.header, 0, {}, {}},
};

MethodRow kGroup2DMethods[] = {
    {"Append", nullptr, kGroupObjectParameter, 1, Fn(Group2DAppend), "Group2DAppend", {}, nullptr, nullptr, {}, 0},
    {"Insert", nullptr, kGroupIndexObjectParameters, 2, Fn(Group2DInsert), "Group2DInsert", {}, nullptr, nullptr,
     {}, 0},
    {"Item", &kObject2DType.header, kIndexParameter, 1, Fn(Group2DGetItem), "Group2DGetItem", {},
     Fn(Group2DSetItem), "Group2DSetItem", {}, 0},
    {"Remove", nullptr, kGroupObjectParameter, 1, Fn(Group2DRemoveByObject), "Group2DRemoveByObject", {}, nullptr,
     nullptr, {}, 0},
    {"Remove", nullptr, kIndexParameter, 1, Fn(Group2DRemoveByIndex), "Group2DRemoveByIndex", {}, nullptr, nullptr,
     {}, 0},
};

ParameterRecord kFigureCurveParameter[] = {
    {"curve", &kCurveShapeType.header, 0, {}, {}},
};
ParameterRecord kFigureIndexCurveParameters[] = {
    {"index", &kIntegerType, 0, {}, {}},
    {"curve", &kCurveShapeType.header, 0, {}, {}},
};
ParameterRecord kFigureCoordinates[] = {
    {"x1", &kSingleType, 0, {}, {}},  {"y1", &kSingleType, 0, {}, {}},  {"x2", &kSingleType, 0, {}, {}},
    {"y2", &kSingleType, 0, {}, {}},  {"cx1", &kSingleType, 0, {}, {}}, {"cy1", &kSingleType, 0, {}, {}},
    {"cx2", &kSingleType, 0, {}, {}}, {"cy2", &kSingleType, 0, {}, {}},
};

MethodRow kFigureShapeMethods[] = {
    {"Append", nullptr, kFigureCurveParameter, 1, Fn(Group2DAppend), "Group2DAppend", {}, nullptr, nullptr, {}, 0},
    {"Insert", nullptr, kFigureIndexCurveParameters, 2, Fn(Group2DInsert), "Group2DInsert", {}, nullptr, nullptr,
     {}, 0},
    {"Item", &kCurveShapeType.header, kIndexParameter, 1, Fn(Group2DGetItem), "Group2DGetItem", {},
     Fn(Group2DSetItem), "Group2DSetItem", {}, 0},
    {"Remove", nullptr, kFigureCurveParameter, 1, Fn(Group2DRemoveByObject), "Group2DRemoveByObject", {}, nullptr,
     nullptr, {}, 0},
    {"Remove", nullptr, kIndexParameter, 1, Fn(Group2DRemoveByIndex), "Group2DRemoveByIndex", {}, nullptr, nullptr,
     {}, 0},
    {"AddLine", nullptr, kFigureCoordinates, 4, Fn(FigureShapeAddLine), "FigureShapeAddLine", {}, nullptr, nullptr,
     {}, 0},
    {"AddQuad", nullptr, kFigureCoordinates, 6, Fn(FigureShapeAddQuad), "FigureShapeAddQuad", {}, nullptr, nullptr,
     {}, 0},
    {"AddCubic", nullptr, kFigureCoordinates, 8, Fn(FigureShapeAddCubic), "FigureShapeAddCubic", {}, nullptr,
     nullptr, {}, 0},
};

}  // namespace

ObjectDefinition* Object2DDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Object2D", nullptr, kObject2DSize, Object2DInit, nullptr, ORVANE_ROWS(kObject2DProperties),
        ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* RectShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "RectShape", Object2DDefinition, kRectShapeSize, RectShapeInit, nullptr,
        ORVANE_ROWS(kRectShapeProperties), ORVANE_ROWS(kRectShapeMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* RoundRectShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "RoundRectShape", RectShapeDefinition, kRoundRectShapeSize, RoundRectShapeInit, nullptr,
        ORVANE_ROWS(kRoundRectShapeProperties), ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* OvalShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "OvalShape", RectShapeDefinition, kOvalShapeSize, OvalShapeInit, nullptr,
        ORVANE_ROWS(kOvalShapeProperties), ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* ArcShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "ArcShape", OvalShapeDefinition, kArcShapeSize, ArcShapeInit, nullptr,
        ORVANE_ROWS(kArcShapeProperties), ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* PixmapShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "PixmapShape", RectShapeDefinition, kPixmapShapeSize, PixmapShapeInit, PixmapShapeFini,
        ORVANE_ROWS(kPixmapShapeProperties), ORVANE_ROWS(kPixmapShapeMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* StringShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "StringShape", Object2DDefinition, kStringShapeSize, StringShapeInit, StringShapeFini,
        ORVANE_ROWS(kStringShapeProperties), ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* CurveShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "CurveShape", Object2DDefinition, kCurveShapeSize, CurveShapeInit, nullptr,
        ORVANE_ROWS(kCurveShapeProperties), ORVANE_ROWS(kCurveShapeMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* Group2DDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Group2D", Object2DDefinition, kGroup2DSize, Group2DInit, Group2DFini, ORVANE_ROWS(kGroupProperties),
        ORVANE_ROWS(kGroup2DMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* FigureShapeDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "FigureShape", Object2DDefinition, kFigureShapeSize, FigureShapeInit, Group2DFini,
        ORVANE_ROWS(kGroupProperties), ORVANE_ROWS(kFigureShapeMethods), ORVANE_NO_ROWS});
    return d;
}
