// What module code builds at compile time: literal records and packed
// property data, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "orvane/image.h"
#include "orvane/literal.h"
#include "orvane/massdata.h"

namespace {

ORVANE_LITERAL(kRoute, "路線");
ORVANE_ASCII_LITERAL(kWindow, "Window");

std::vector<uint8_t> BytesOf(const StringValue* s, size_t n) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(s) + 21;
    return std::vector<uint8_t>(p, p + n);
}

TEST(Literal, IsACompleteStringValueRecord) {
    const StringValue* s = ORVANE_STR(kRoute);
    EXPECT_EQ(s->refCount, 1);
    EXPECT_EQ(s->text, nullptr);  // the loader points it at the length byte
    EXPECT_EQ(s->length, 6);
    EXPECT_EQ(s->capacity, 8);
    EXPECT_EQ(s->encoding, kEncodingUTF8);
    const uint8_t* record = reinterpret_cast<const uint8_t*>(s);
    EXPECT_EQ(record[20], 6);
    EXPECT_EQ(std::memcmp(record + 21, "路線", 7), 0);  // text and NUL
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s) % 4, 0u);
    EXPECT_EQ(ORVANE_STR(kWindow)->encoding, kEncodingASCII);
}

TEST(MassData, RecordsAreBigEndianIndexAndValue) {
    ORVANE_MASS_DATA(kCanvas, orvane::mass::String(0, "Canvas1"), orvane::mass::Bool(11, true),
                     orvane::mass::Int(12, 2));
    const StringValue* s = ORVANE_STR(kCanvas);
    std::vector<uint8_t> expected = {0, 0,  0, 0, 0, 7, 'C', 'a', 'n', 'v', 'a', 's', '1',
                                     0, 11, 1, 0, 12, 0, 0, 0, 2};
    ASSERT_EQ(s->length, int32_t(expected.size()));
    EXPECT_EQ(s->capacity, s->length + 2);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(s)[20], expected.size());
    expected.push_back(0);  // the NUL behind the text
    EXPECT_EQ(BytesOf(s, expected.size()), expected);
}

template <size_t N>
std::vector<uint8_t> V(const orvane::mass::Bytes<N>& r) {
    return std::vector<uint8_t>(r.b, r.b + N);
}

TEST(MassData, ValueFormsOfEveryType) {
    using orvane::mass::Bool, orvane::mass::Int, orvane::mass::Color, orvane::mass::Single,
        orvane::mass::Double, orvane::mass::String;
    struct Case {
        std::vector<uint8_t> got, want;
    } cases[] = {
        {V(Bool(1, false)), {0, 1, 0}},
        {V(Int(258, -2)), {1, 2, 0xFF, 0xFF, 0xFF, 0xFE}},
        {V(Color(3, 0x12, 0x34, 0x56)), {0, 3, 0x12, 0x34, 0x56}},
        {V(Single(4, 1.5f)), {0, 4, 0x3F, 0xC0, 0, 0}},
        {V(Double(5, -2.0)), {0, 5, 0xC0, 0, 0, 0, 0, 0, 0, 0}},
        {V(String(6, "")), {0, 6, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(MassData, LongDataHasLengthByte255) {
    ORVANE_MASS_DATA(kLong, orvane::mass::String(0, "0123456789012345678901234567890123456789"
                                                    "0123456789012345678901234567890123456789"
                                                    "0123456789012345678901234567890123456789"
                                                    "0123456789012345678901234567890123456789"
                                                    "0123456789012345678901234567890123456789"
                                                    "0123456789012345678901234567890123456789"
                                                    "0123456789"));
    const StringValue* s = ORVANE_STR(kLong);
    EXPECT_EQ(s->length, 6 + 250);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(s)[20], 255);
}

}  // namespace

namespace {

// The fields of an encoding identifier, read and composed through one set of accessors.
TEST(EncodingIdentifier, FieldsOfKnownIdentifiers) {
    struct Case {
        uint32_t encoding, base, variant, format;
    } cases[] = {
        {kEncodingUTF8, 0x0100, 0, 2},
        {kEncodingUTF16, 0x0100, 0, 0},
        {kEncodingASCII, 0x0600, 0, 0},
        {kEncodingUnknown, 0xFFFF, 0, 0},
        {0xFFFFFFFFu, 0xFFFF, 0x3FF, 0x3F},
        {0x04010A01u, 0x0A01, 0x0001, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodingBase(c.encoding), c.base) << std::hex << c.encoding;
        EXPECT_EQ(EncodingVariant(c.encoding), c.variant) << std::hex << c.encoding;
        EXPECT_EQ(EncodingFormat(c.encoding), c.format) << std::hex << c.encoding;
        EXPECT_EQ(EncodingCompose(c.base, c.variant, c.format), c.encoding) << std::hex << c.encoding;
    }
    // Fields too wide for their bits are cut to them; a full identifier as base keeps its upper bits.
    EXPECT_EQ(EncodingCompose(0x0100, 0x7FF, 0x42), 0x0100u | 0x3FFu << 16 | 0x02u << 26);
    EXPECT_EQ(EncodingCompose(kEncodingUTF8, 0, 0), kEncodingUTF8);
}

// The offsets the loader and the builder use are those of the record module code makes.
TEST(LiteralLayout, OffsetsAreThoseOfTheRecord) {
    const uint8_t* record = reinterpret_cast<const uint8_t*>(ORVANE_STR(kWindow));
    uint32_t field;
    std::memcpy(&field, record + kLiteralRefCountAt, 4);
    EXPECT_EQ(field, 1u);
    std::memcpy(&field, record + kLiteralCapacityAt, 4);
    EXPECT_EQ(field, 8u);
    std::memcpy(&field, record + kLiteralLengthAt, 4);
    EXPECT_EQ(field, 6u);
    std::memcpy(&field, record + kLiteralEncodingAt, 4);
    EXPECT_EQ(field, kEncodingASCII);
    EXPECT_EQ(record[kLiteralLengthByteAt], 6);
    EXPECT_EQ(std::memcmp(record + kLiteralBytesAt, "Window", 7), 0);
    EXPECT_EQ(sizeof kWindow, LiteralRecordSize(6));
    EXPECT_EQ(LiteralRecordSize(1), 24u);  // 21 + 1 + NUL, padded
    EXPECT_EQ(LiteralRecordSize(2), 24u);
    EXPECT_EQ(LiteralRecordSize(3), 28u);
}

}  // namespace

// ---- Layouts module code reads by the offsets of orvane/shapes.h ----------------------------

#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "graphics/Shapes2D.h"
#include "graphics/Shapes2DAccessors.h"
#include "files/TextInputStream.h"
#include "files/runFolderItem.h"
#include "orvane/exports.h"
#include "orvane/shapes.h"
#include "strings/TextEncodingUtil.h"

// Including the runtime's own declarations beside orvane/exports.h makes any
// entry point declared differently in the two a compile error.
namespace shape = orvane::shape;
static_assert(shape::kFillColorAt == offsetof(Object2DObject, fillColor), "FillColor");
static_assert(shape::kBorderColorAt == offsetof(Object2DObject, borderColor), "BorderColor");
static_assert(shape::kXAt == kShapeXAt && shape::kYAt == kShapeYAt, "X, Y");
static_assert(shape::kRotationAt == kShapeRotationAt && shape::kScaleAt == kShapeScaleAt, "Rotation, Scale");
static_assert(shape::kFillAt == offsetof(Object2DObject, fillOpacity), "Fill");
static_assert(shape::kBorderAt == offsetof(Object2DObject, borderOpacity), "Border");
static_assert(shape::kBorderWidthAt == offsetof(Object2DObject, borderWidth), "BorderWidth");
static_assert(shape::kObject2DSize == kObject2DSize, "Object2D size");
static_assert(shape::kWidthAt == offsetof(RectShapeObject, width), "Width");
static_assert(shape::kHeightAt == offsetof(RectShapeObject, height), "Height");
static_assert(shape::kStartAngleAt == offsetof(ArcShapeObject, startAngle), "StartAngle");
static_assert(shape::kArcAngleAt == offsetof(ArcShapeObject, arcAngle), "ArcAngle");
static_assert(shape::kArcShapeSize == kArcShapeSize, "ArcShape size");
static_assert(shape::kTextSizeAt == offsetof(StringShapeObject, textSize), "TextSize");
static_assert(shape::kTextAt == offsetof(StringShapeObject, text), "Text");
static_assert(shape::kTextFontAt == offsetof(StringShapeObject, textFont), "TextFont");
static_assert(shape::kBoldAt == offsetof(StringShapeObject, bold), "Bold");
static_assert(shape::kStringShapeSize == kStringShapeSize, "StringShape size");
static_assert(shape::kGroupGrowthStepAt == offsetof(GroupObject, growthStep), "Group2D growth step");
static_assert(shape::kGroupMembersAt == offsetof(GroupObject, members), "Group2D members");
static_assert(shape::kGroupCountAt == offsetof(GroupObject, count), "Group2D count");
static_assert(shape::kGroupSize == kGroup2DSize, "Group2D size");
static_assert(shape::kCurveX2At == offsetof(CurveShapeObject, x2) && shape::kCurveY2At == offsetof(CurveShapeObject, y2),
              "CurveShape X2, Y2");
static_assert(shape::kCurveShapeSize == kCurveShapeSize, "CurveShape size");

// ---- Output files of command-line modules ------------------------------------------------

#include <windows.h>

#include "tests/TestStrings.h"

namespace {

std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::string ReadAll(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[256];
    DWORD got = 0;
    ReadFile(h, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(h);
    return std::string(buffer, got);
}

}  // namespace

TEST(OutputFile, KeptOnlyWhenAskedAndEveryWriteSucceeded) {
    const std::string kept = TempPath("orvane_sdk_kept.bin"), dropped = TempPath("orvane_sdk_dropped.bin");
    void* a = RuntimeOutputFileCreate(Utf8(kept).Get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(RuntimeOutputFileWrite(a, "BM", 2), 1);
    EXPECT_EQ(RuntimeOutputFileWrite(a, "\0\1x", 3), 1);
    EXPECT_EQ(RuntimeOutputFileWrite(a, nullptr, 0), 1);
    EXPECT_EQ(RuntimeOutputFileClose(a, 1), 1);
    EXPECT_EQ(ReadAll(kept), std::string("BM\0\1x", 5));

    void* b = RuntimeOutputFileCreate(Utf8(dropped).Get());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(RuntimeOutputFileWrite(b, "abc", 3), 1);
    EXPECT_EQ(RuntimeOutputFileWrite(b, nullptr, 4), 0);  // a bad write fails the file
    EXPECT_EQ(RuntimeOutputFileWrite(b, "def", 3), 0);
    EXPECT_EQ(RuntimeOutputFileClose(b, 1), 0);
    EXPECT_EQ(ReadAll(dropped), "<missing>");

    void* c = RuntimeOutputFileCreate(Utf8(dropped).Get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(RuntimeOutputFileWrite(c, "abc", 3), 1);
    EXPECT_EQ(RuntimeOutputFileClose(c, 0), 0);  // not asked to keep it
    EXPECT_EQ(ReadAll(dropped), "<missing>");
    DeleteFileA(kept.c_str());
}

TEST(OutputFile, RefusesWhatCannotBeCreated) {
    EXPECT_EQ(RuntimeOutputFileCreate(nullptr), nullptr);
    EXPECT_EQ(RuntimeOutputFileCreate(Utf8(TempPath("no such folder\\x.bmp")).Get()), nullptr);
    EXPECT_EQ(RuntimeOutputFileClose(nullptr, 1), 0);
    EXPECT_EQ(RuntimeOutputFileWrite(nullptr, "a", 1), 0);
}
