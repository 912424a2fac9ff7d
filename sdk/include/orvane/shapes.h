// Field offsets of the shape, picture and stream objects that module code
// passes to the accessors or reads itself. The runtime's own layouts are
// checked against these numbers by sdk_test.
#pragma once

#include <stdint.h>

namespace orvane {
namespace shape {

// Object2D
constexpr int32_t kFillColorAt = 32;      // Color (int)
constexpr int32_t kBorderColorAt = 36;    // Color (int)
constexpr int32_t kXAt = 44;              // Double, through Object2DDoubleSetter
constexpr int32_t kYAt = 52;
constexpr int32_t kRotationAt = 60;
constexpr int32_t kScaleAt = 68;
constexpr int32_t kFillAt = 76;           // percent, through doublePercentSetter
constexpr int32_t kBorderAt = 84;         // percent, through doublePercentSetter
constexpr int32_t kBorderWidthAt = 92;    // Double
constexpr int32_t kObject2DSize = 100;

// RectShape and its subclasses
constexpr int32_t kWidthAt = 100;
constexpr int32_t kHeightAt = 108;

// ArcShape (an OvalShape)
constexpr int32_t kStartAngleAt = 124;    // through ArcStartAngleSetter
constexpr int32_t kArcAngleAt = 132;
constexpr int32_t kArcShapeSize = 140;    // module subclasses put their fields here

// StringShape
constexpr int32_t kTextSizeAt = 100;      // Double
constexpr int32_t kTextAt = 108;          // String
constexpr int32_t kTextFontAt = 112;      // String
constexpr int32_t kBoldAt = 116;          // Boolean
constexpr int32_t kStringShapeSize = 120;

// Group2D and FigureShape
constexpr int32_t kGroupGrowthStepAt = 100;  // members added per growth; 0 grows by the current size
constexpr int32_t kGroupMembersAt = 104;     // ObjectHeader**, read only
constexpr int32_t kGroupCountAt = 108;
constexpr int32_t kGroupSize = 116;

// CurveShape, the members of a FigureShape
constexpr int32_t kCurveX2At = 100;
constexpr int32_t kCurveY2At = 108;
constexpr int32_t kCurveShapeSize = 156;

}  // namespace shape
}  // namespace orvane
