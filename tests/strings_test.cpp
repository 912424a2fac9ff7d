// String values: records, the handle, encodings when joining and comparing,
// the entry points, the case tables, the pool and the general allocator.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "orvane/exports.h"
#include "strings/dump.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

namespace {

constexpr uint32_t kOtherEncoding = 0x0A01;  // a byte encoding outside the Unicode family
constexpr uint32_t kThirdEncoding = 0x0A02;

std::string Bytes(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}
int32_t Refs(const StringHandle& h) { return h.Get()->refCount; }

// Stands in for the text converters: ASCII to UTF-16 by widening each byte;
// refuses everything else.
int gConversions = 0;
StringValue* WidenAscii(StringValue* s, uint32_t target) {
    ++gConversions;
    if (s->encoding != kEncodingASCII || target != kEncodingUTF16) return nullptr;
    std::u16string units;
    for (int32_t i = 0; i < s->length; ++i) units += char16_t(s->text[1 + i]);
    return Wide(units).Release();
}

// Every test starts and ends with the same pooled bytes: nothing leaks.
class Strings : public ::testing::Test {
protected:
    void SetUp() override {
        pooledAtStart_ = PoolPooledBytes();
        gConversions = 0;
    }
    void TearDown() override {
        SetStringConverter(nullptr);
        PoolFailNextHeapRequests(0);
        EXPECT_EQ(PoolPooledBytes(), pooledAtStart_) << "pool blocks leaked";
    }

private:
    int64_t pooledAtStart_ = 0;
};

// ---- Records -------------------------------------------------------------------

TEST_F(Strings, MakeLaysOutLengthByteCapacityAndTerminator) {
    struct Case {
        int32_t n;
        uint8_t lengthByte;
    } cases[] = {{1, 1}, {5, 5}, {254, 254}, {255, 255}, {256, 255}, {300, 255}, {511, 255}};
    for (const Case& c : cases) {
        std::string bytes(size_t(c.n), 'x');
        StringHandle h = StringHandle::Adopt(StringMake(bytes.data(), c.n));
        ASSERT_FALSE(h.IsEmpty()) << c.n;
        const StringValue* s = h.Get();
        EXPECT_EQ(s->refCount, 1) << c.n;
        EXPECT_EQ(s->length, c.n);
        EXPECT_EQ(s->capacity, c.n + 2);
        EXPECT_EQ(s->encoding, kEncodingUnknown);
        EXPECT_EQ(s->text[0], c.lengthByte) << c.n;
        EXPECT_EQ(s->text[c.n + 1], 0) << c.n;
        EXPECT_EQ(Bytes(h), bytes);
        EXPECT_EQ(h.Text(), reinterpret_cast<const char*>(s->text + 1));
    }
}

TEST_F(Strings, NothingToMakeGivesNil) {
    const uint16_t units[] = {'a', 'b'};
    EXPECT_EQ(StringMake("abc", 0), nullptr);
    EXPECT_EQ(StringMake("abc", -3), nullptr);
    EXPECT_EQ(StringMake(nullptr, INT32_MAX), nullptr);
    EXPECT_EQ(StringMakeC(nullptr), nullptr);
    EXPECT_EQ(StringMakeC(""), nullptr);
    EXPECT_EQ(StringMakeUtf16(units, 0), nullptr);
    EXPECT_EQ(StringMakeUtf16(units, -1), nullptr);
    EXPECT_EQ(StringMakeUtf16(nullptr, INT32_MAX), nullptr);
}

TEST_F(Strings, NilReadsAsEmptyAsciiText) {
    StringHandle nil;
    EXPECT_STREQ(nil.Text(), "");
    EXPECT_EQ(nil.Length(), 0);
    EXPECT_EQ(nil.Encoding(), kEncodingASCII);
    EXPECT_EQ(nil.Utf16()[0], 0);
}

TEST_F(Strings, MakeUtf16HasTwoTerminatorsAndTheLowLengthByte) {
    std::u16string units(200, u'\x3042');
    units[0] = u'a';
    StringHandle h = Wide(units);
    const StringValue* s = h.Get();
    EXPECT_EQ(s->encoding, kEncodingUTF16);
    EXPECT_EQ(s->length, 400);
    EXPECT_EQ(s->capacity, 403);
    EXPECT_EQ(s->text[0], 400 & 0xFF);
    EXPECT_EQ(s->text[401], 0);
    EXPECT_EQ(s->text[402], 0);
    EXPECT_EQ(Bytes(h), Bytes(units));
    EXPECT_EQ(h.Utf16(), reinterpret_cast<const uint16_t*>(s->text + 1));
}

TEST_F(Strings, RefusedBufferGivesNilAndNextRequestSucceeds) {
    PoolFailNextHeapRequests(1);
    EXPECT_EQ(StringMake(nullptr, 300), nullptr);
    StringHandle after = StringHandle::Adopt(StringMake(nullptr, 300));
    EXPECT_EQ(after.Length(), 300);

    PoolFailNextHeapRequests(1);
    std::u16string units(200, u'x');
    EXPECT_TRUE(Wide(units).IsEmpty());
}

// ---- Reference counts and the entry points -------------------------------------

TEST_F(Strings, LockAndUnlockEntryPointsCountReferences) {
    StringHandle x = Ascii("x"), y = Ascii("y");
    RuntimeLockString(x.Get());
    EXPECT_EQ(Refs(x), 2);
    RuntimeUnlockString(x.Get());
    EXPECT_EQ(Refs(x), 1);

    RuntimeLockUnlockStrings(x.Get(), x.Get());
    EXPECT_EQ(Refs(x), 1) << "assigning a value to itself changes no count";

    RuntimeLockString(x.Get());  // the old value held by a variable
    RuntimeLockUnlockStrings(y.Get(), x.Get());
    EXPECT_EQ(Refs(y), 2);
    EXPECT_EQ(Refs(x), 1);
    RuntimeLockUnlockStrings(nullptr, y.Get());
    EXPECT_EQ(Refs(y), 1);

    RuntimeLockString(nullptr);
    RuntimeUnlockString(nullptr);
    RuntimeLockUnlockStrings(nullptr, nullptr);
}

TEST_F(Strings, LastUnlockFreesTheRecordAndItsBuffer) {
    int64_t before = PoolPooledBytes();
    StringValue* s = StringMakeC("twelve bytes");
    EXPECT_EQ(PoolPooledBytes(), before + 20 + 14);
    RuntimeLockString(s);
    RuntimeUnlockString(s);
    EXPECT_EQ(PoolPooledBytes(), before + 20 + 14);
    RuntimeUnlockString(s);
    EXPECT_EQ(PoolPooledBytes(), before);
}

TEST_F(Strings, AddStringSharesAnEmptySidesPartner) {
    StringHandle a = Ascii("ab"), b = Ascii("cd");
    StringValue* r = RuntimeAddString(nullptr, b.Get());
    EXPECT_EQ(r, b.Get());
    EXPECT_EQ(Refs(b), 2);
    RuntimeUnlockString(r);

    r = RuntimeAddString(a.Get(), nullptr);
    EXPECT_EQ(r, a.Get());
    RuntimeUnlockString(r);

    EXPECT_EQ(RuntimeAddString(nullptr, nullptr), nullptr);

    r = RuntimeAddString(a.Get(), b.Get());
    StringHandle joined = StringHandle::Adopt(r);
    EXPECT_EQ(Bytes(joined), "abcd");
    EXPECT_EQ(joined.Encoding(), kEncodingASCII);
    EXPECT_EQ(Refs(joined), 1);
    EXPECT_EQ(Refs(a), 1);
    EXPECT_EQ(Refs(b), 1);
}

TEST_F(Strings, HandleCopiesAndAssignmentsMoveReferences) {
    StringHandle a = Ascii("a");
    {
        StringHandle copy = a;
        EXPECT_EQ(Refs(a), 2);
        StringHandle other = Ascii("b");
        other = a;
        EXPECT_EQ(Refs(a), 3);
        other = other;  // self-assignment
        EXPECT_EQ(Refs(a), 3);
        StringValue* owned = a.Retained();
        EXPECT_EQ(Refs(a), 4);
        StringRelease(owned);
    }
    EXPECT_EQ(Refs(a), 1);
    StringHandle moved = std::move(a);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(Refs(moved), 1);
}

// ---- Substrings, trimming ------------------------------------------------------

TEST_F(Strings, SubstringsFollowTheirBoundaries) {
    enum Op { kLeft, kRight, kFrom, kSub };
    struct Case {
        Op op;
        int32_t i, n;
        const char* expected;  // nullptr: nil; "=" the source record itself
    } cases[] = {
        {kLeft, 0, 0, nullptr},     {kLeft, -1, 0, nullptr},  {kLeft, 2, 0, "ab"},
        {kLeft, 6, 0, "="},         {kLeft, 9, 0, "="},       {kRight, -1, 0, nullptr},
        {kRight, 0, 0, nullptr},    {kRight, 2, 0, "ef"},     {kRight, 5, 0, "bcdef"},
        {kRight, 6, 0, "="},        {kFrom, -3, 0, "="},      {kFrom, 0, 0, "="},
        {kFrom, 2, 0, "cdef"},      {kFrom, 5, 0, "f"},       {kFrom, 6, 0, nullptr},
        {kFrom, 7, 0, nullptr},     {kSub, 2, 0, nullptr},    {kSub, 2, -1, nullptr},
        {kSub, -2, 5, "abc"},       {kSub, -10, 3, nullptr},  {kSub, 2, 3, "cde"},
        {kSub, 1, 99, "bcdef"},     {kSub, 0, 6, "="},        {kSub, 0, 99, "="},
        {kSub, -1, 7, "="},         {kSub, 6, 1, nullptr},    {kSub, 5, INT32_MAX, "f"},
        {kSub, INT32_MIN, -5, nullptr},
    };
    StringHandle source = Utf8("abcdef");
    for (const Case& c : cases) {
        StringHandle r;
        switch (c.op) {
            case kLeft: r = source.Left(c.i); break;
            case kRight: r = source.Right(c.i); break;
            case kFrom: r = source.From(c.i); break;
            case kSub: r = source.Sub(c.i, c.n); break;
        }
        SCOPED_TRACE(testing::Message() << "op " << c.op << " (" << c.i << ", " << c.n << ")");
        if (!c.expected) {
            EXPECT_TRUE(r.IsEmpty());
        } else if (std::strcmp(c.expected, "=") == 0) {
            EXPECT_EQ(r.Get(), source.Get());
        } else {
            EXPECT_NE(r.Get(), source.Get());
            EXPECT_EQ(Bytes(r), c.expected);
            EXPECT_EQ(r.Encoding(), kEncodingUTF8) << "pieces keep the source's encoding";
        }
    }
    EXPECT_EQ(Refs(source), 1);

    StringHandle nil;
    EXPECT_TRUE(nil.Left(3).IsEmpty());
    EXPECT_TRUE(nil.Right(3).IsEmpty());
    EXPECT_TRUE(nil.From(0).IsEmpty());
    EXPECT_TRUE(nil.Sub(0, 3).IsEmpty());
}

TEST_F(Strings, PiecesOfUtf16TextKeepTwoTerminators) {
    StringHandle piece = Wide(u"abcd").Left(4);
    ASSERT_EQ(piece.Length(), 4);
    EXPECT_EQ(piece.Encoding(), kEncodingUTF16);
    EXPECT_EQ(piece.Utf16()[2], 0);
}

TEST_F(Strings, TrimSpacesRemovesBlanksAndTabs) {
    struct Case {
        const char* text;
        StringHandle::TrimSide side;
        const char* expected;  // nullptr: nil
    } cases[] = {
        {" \t a b \t", StringHandle::kTrimBoth, "a b"},
        {" \t a b \t", StringHandle::kTrimLeft, "a b \t"},
        {" \t a b \t", StringHandle::kTrimRight, " \t a b"},
        {"\r\na\n", StringHandle::kTrimBoth, "\r\na\n"},
        {" \t\t ", StringHandle::kTrimBoth, nullptr},
        {" \t\t ", StringHandle::kTrimLeft, nullptr},
        {" \t\t ", StringHandle::kTrimRight, nullptr},
    };
    for (const Case& c : cases) {
        StringHandle r = Ascii(c.text).TrimSpaces(c.side);
        if (c.expected) {
            EXPECT_EQ(Bytes(r), c.expected) << '"' << c.text << '"' << c.side;
            EXPECT_EQ(r.Encoding(), kEncodingASCII);
        } else {
            EXPECT_TRUE(r.IsEmpty()) << '"' << c.text << '"' << c.side;
        }
    }
    StringHandle plain = Ascii("abc");
    EXPECT_EQ(plain.TrimSpaces(StringHandle::kTrimBoth).Get(), plain.Get());
    EXPECT_TRUE(StringHandle().TrimSpaces(StringHandle::kTrimBoth).IsEmpty());
}

// ---- Encodings, joining ---------------------------------------------------------

TEST_F(Strings, CombineEncodingsFollowsItsRules) {
    struct Case {
        uint32_t x, y;
        bool fallBack;
        uint32_t expected;
    } cases[] = {
        {kEncodingASCII, kEncodingASCII, false, kEncodingASCII},
        {kEncodingUTF16, kEncodingUTF16, false, kEncodingUTF16},
        {kEncodingUnknown, kEncodingUnknown, false, kEncodingUnknown},
        {kEncodingASCII, kEncodingUTF8, false, kEncodingUTF8},
        {kEncodingUTF8, kEncodingASCII, false, kEncodingUTF8},
        {kEncodingASCII, kOtherEncoding, false, kOtherEncoding},
        {kOtherEncoding, kEncodingASCII, false, kOtherEncoding},
        {kEncodingASCII, kEncodingUnknown, false, kEncodingUnknown},
        {kEncodingASCII, kEncodingUTF16, false, kEncodingUnknown},
        {kEncodingUTF16, kEncodingASCII, false, kEncodingUnknown},
        {kEncodingASCII, kEncodingUTF16, true, kEncodingUTF16},
        {kEncodingUTF16, kOtherEncoding, true, kEncodingUTF16},
        {kEncodingUTF16, kEncodingUTF8, true, kEncodingUTF8},
        {kEncodingUTF8, kOtherEncoding, false, kEncodingUnknown},
        {kEncodingUTF8, kOtherEncoding, true, kEncodingUTF8},
        {kOtherEncoding, kThirdEncoding, false, kEncodingUnknown},
        {kOtherEncoding, kThirdEncoding, true, kEncodingUTF8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CombineEncodings(c.x, c.y, c.fallBack), c.expected)
            << std::hex << c.x << " " << c.y << " " << c.fallBack;
}

TEST_F(Strings, CommonEncodingWithoutConvertersConvertsNothing) {
    struct Case {
        StringHandle a, b;
        uint32_t expected;
    } cases[] = {
        {StringHandle(), StringHandle(), kEncodingASCII},
        {StringHandle(), Utf8("\xC3\xA9"), kEncodingUTF8},
        {Wide(u"a"), StringHandle(), kEncodingUTF16},
        {Make("a", kOtherEncoding), Make("b", kOtherEncoding), kOtherEncoding},
        {Make("a", kEncodingUnknown), Ascii("b"), kEncodingUnknown},
        {Ascii("a"), Make("b", kOtherEncoding), kOtherEncoding},
        {Ascii("a"), Utf8("b"), kEncodingUTF8},
        {Ascii("a"), Wide(u"b"), kEncodingUnknown},
        {Utf8("a"), Make("b", kOtherEncoding), kEncodingUnknown},
    };
    for (Case& c : cases) {
        StringValue *a = c.a.Get(), *b = c.b.Get();
        EXPECT_EQ(StringCommonEncoding(c.a, c.b), c.expected)
            << std::hex << c.a.Encoding() << " " << c.b.Encoding();
        EXPECT_EQ(c.a.Get(), a);
        EXPECT_EQ(c.b.Get(), b);
    }
}

TEST_F(Strings, CommonEncodingConvertsThroughTheInstalledConverter) {
    SetStringConverter(WidenAscii);
    StringHandle a = Ascii("ab"), b = Wide(u"cd");
    StringValue* original = a.Get();
    EXPECT_EQ(StringCommonEncoding(a, b), kEncodingUTF16);
    EXPECT_NE(a.Get(), original);
    EXPECT_EQ(a.Encoding(), kEncodingUTF16);
    EXPECT_EQ(Bytes(a), Bytes(u"ab"));
    EXPECT_EQ(gConversions, 1) << "only the string not in the target encoding is converted";

    // The converter refuses this one: both stay as they were.
    StringHandle c = Make("ab", kOtherEncoding);
    StringHandle e = Wide(u"x");
    StringValue *before = c.Get(), *wide = e.Get();
    EXPECT_EQ(StringCommonEncoding(c, e), kEncodingUnknown);
    EXPECT_EQ(c.Get(), before);
    EXPECT_EQ(e.Get(), wide);
}

TEST_F(Strings, ConcatJoinsAndTagsTheResult) {
    StringHandle b = Utf8("\xC3\xA9");
    EXPECT_EQ(StringConcat(StringHandle(), b).Get(), b.Get());
    EXPECT_EQ(StringConcat(b, StringHandle()).Get(), b.Get());
    EXPECT_TRUE(StringConcat(StringHandle(), StringHandle()).IsEmpty());

    struct Case {
        StringHandle a, b;
        std::string bytes;
        uint32_t encoding;
    } cases[] = {
        {Ascii("ab"), Utf8("\xC3\xA9"), "ab\xC3\xA9", kEncodingUTF8},
        {Utf8("\xC3\xA9"), Ascii("ab"), "\xC3\xA9" "ab", kEncodingUTF8},
        {Make("ab", kOtherEncoding), Make("cd", kOtherEncoding), "abcd", kOtherEncoding},
        {Ascii("ab"), Make("cd", kOtherEncoding), "abcd", kOtherEncoding},
        {Wide(u"ab"), Wide(u"c"), Bytes(u"abc"), kEncodingUTF16},
        // No converter is installed: the bytes are joined as they are.
        {Wide(u"ab"), Ascii("cd"), Bytes(u"ab") + "cd", kEncodingUnknown},
        {Make("ab", kEncodingUnknown), Ascii("cd"), "abcd", kEncodingUnknown},
        {Utf8("ab"), Make("cd", kOtherEncoding), "abcd", kEncodingUnknown},
    };
    for (const Case& c : cases) {
        StringHandle r = StringConcat(c.a, c.b);
        EXPECT_EQ(Bytes(r), c.bytes) << Bytes(c.a) << " + " << Bytes(c.b);
        EXPECT_EQ(r.Encoding(), c.encoding) << Bytes(c.a) << " + " << Bytes(c.b);
        EXPECT_EQ(Refs(c.a), 1);
        EXPECT_EQ(Refs(c.b), 1);
    }
    EXPECT_EQ(gConversions, 0);
}

TEST_F(Strings, ConcatConvertsWhenAConverterExists) {
    SetStringConverter(WidenAscii);
    StringHandle r = StringConcat(Wide(u"ab"), Ascii("cd"));
    EXPECT_EQ(r.Encoding(), kEncodingUTF16);
    EXPECT_EQ(Bytes(r), Bytes(u"abcd"));
    EXPECT_EQ(r.Get()->capacity, 8 + 3);
}

TEST_F(Strings, AppendJoinsInPlaceOfTheHandle) {
    StringHandle b = Ascii("cd");
    StringHandle nil;
    nil.Append(b);
    EXPECT_EQ(nil.Get(), b.Get()) << "appending to nil shares the appended record";

    StringHandle a = Ascii("ab");
    StringValue* before = a.Get();
    a.Append(StringHandle());
    EXPECT_EQ(a.Get(), before);

    StringHandle shared = a;
    a.Append(b);
    EXPECT_EQ(Bytes(a), "abcd");
    EXPECT_EQ(a.Encoding(), kEncodingASCII);
    EXPECT_EQ(Bytes(shared), "ab") << "the shared record is not changed";

    a.Append(a);
    EXPECT_EQ(Bytes(a), "abcdabcd");

    StringHandle mixed = Ascii("ab");
    mixed.Append(Utf8("\xC3\xA9"));
    EXPECT_EQ(Bytes(mixed), "ab\xC3\xA9");
    EXPECT_EQ(mixed.Encoding(), kEncodingUTF8);

    StringHandle wide = Wide(u"ab");
    wide.Append(Ascii("c"));
    EXPECT_EQ(Bytes(wide), Bytes(u"ab") + "c");
    EXPECT_EQ(wide.Encoding(), kEncodingUnknown);
}

TEST_F(Strings, AppendCKeepsTheEncodingOrStartsUnknown) {
    StringHandle nil;
    nil.AppendC("xy");
    EXPECT_EQ(Bytes(nil), "xy");
    EXPECT_EQ(nil.Encoding(), kEncodingUnknown);

    StringHandle text = Utf8("\xC3\xA9");
    StringHandle shared = text;
    text.AppendC("!");
    EXPECT_EQ(Bytes(text), "\xC3\xA9!");
    EXPECT_EQ(text.Encoding(), kEncodingUTF8);
    EXPECT_EQ(Bytes(shared), "\xC3\xA9");

    StringValue* before = text.Get();
    text.AppendC("");
    text.AppendC(nullptr);
    EXPECT_EQ(text.Get(), before);
    StringHandle stillNil;
    stillNil.AppendC("");
    EXPECT_TRUE(stillNil.IsEmpty());
}

TEST_F(Strings, AppendByteTagsByTheByte) {
    struct Case {
        StringHandle self;
        uint8_t c;
        std::string bytes;
        uint32_t encoding;
    } cases[] = {
        {StringHandle(), 0x41, "A", kEncodingASCII},
        {StringHandle(), 0xE9, "\xE9", kEncodingUnknown},
        {Ascii("ab"), 'c', "abc", kEncodingASCII},
        {Ascii("ab"), 0xE9, "ab\xE9", kEncodingUnknown},
        {Utf8("\xC3\xA9"), 'x', "\xC3\xA9x", kEncodingUTF8},
        {Make("ab", kOtherEncoding), 'c', "abc", kOtherEncoding},
        {Make("ab", kEncodingUnknown), 'c', "abc", kEncodingUnknown},
        {Wide(u"a"), 'b', Bytes(u"a") + "b", kEncodingUnknown},
    };
    for (Case& c : cases) {
        c.self.AppendByte(c.c);
        EXPECT_EQ(Bytes(c.self), c.bytes) << int(c.c);
        EXPECT_EQ(c.self.Encoding(), c.encoding) << c.bytes;
    }
}

// ---- Writable bytes, retagging, the UTF-16 accessor ------------------------------

TEST_F(Strings, WritableByteCopiesASharedRecordFirst) {
    StringHandle original = Ascii("abc");
    StringHandle copy = original;
    *copy.WritableByte(1) = 'X';
    EXPECT_EQ(Bytes(copy), "aXc");
    EXPECT_EQ(Bytes(original), "abc");
    EXPECT_NE(copy.Get(), original.Get());
    EXPECT_EQ(Refs(original), 1);
    EXPECT_EQ(copy.Encoding(), kEncodingASCII);

    StringValue* own = copy.Get();
    *copy.WritableByte(2) = 'Y';
    EXPECT_EQ(copy.Get(), own) << "a record with one reference is written in place";
    EXPECT_EQ(Bytes(copy), "aXY");
}

TEST_F(Strings, WritableByteOfNilAtZeroIsAStaticByte) {
    StringHandle nil;
    uint8_t* byte = nil.WritableByte(0);
    ASSERT_NE(byte, nullptr);
    *byte = 'z';
    EXPECT_TRUE(nil.IsEmpty());
}

TEST_F(Strings, WritableByteOutOfRangeIsReported) {
    struct Case {
        bool nil;
        int32_t i;
    } cases[] = {{false, -1}, {false, 3}, {false, INT32_MAX}, {true, 1}, {true, -1}};
    for (const Case& c : cases) {
        StringHandle h = c.nil ? StringHandle() : Ascii("abc");
        StringHandle other = h;
        AssertionCapture capture;
        uint8_t* byte = h.WritableByte(c.i);
        ASSERT_NE(byte, nullptr);
        *byte = 'Q';
        ASSERT_EQ(capture.Reports().size(), 1u) << c.nil << " " << c.i;
        EXPECT_EQ(capture.Reports()[0].unit, "string");
        EXPECT_EQ(Bytes(h), c.nil ? "" : "abc");
        EXPECT_EQ(h.Get(), other.Get()) << "a refused index makes no copy";
    }
}

TEST_F(Strings, WritableByteWhoseCopyIsRefusedLeavesTheSharedText) {
    std::string text(300, 'a');
    StringHandle original = Ascii(text);
    StringHandle copy = original;
    PoolFailNextHeapRequests(1);
    *copy.WritableByte(0) = 'X';
    EXPECT_EQ(Bytes(original), text);
    EXPECT_EQ(copy.Get(), original.Get());
}

TEST_F(Strings, SetEncodingRetagsAPrivateCopyWhenShared) {
    StringHandle a = Ascii("ab");
    StringHandle shared = a;
    a.SetEncoding(kEncodingUTF8);
    EXPECT_EQ(a.Encoding(), kEncodingUTF8);
    EXPECT_EQ(shared.Encoding(), kEncodingASCII);
    EXPECT_NE(a.Get(), shared.Get());
    StringValue* own = a.Get();
    a.SetEncoding(kOtherEncoding);
    EXPECT_EQ(a.Get(), own);
    EXPECT_EQ(a.Encoding(), kOtherEncoding);
    StringHandle nil;
    nil.SetEncoding(kEncodingUTF8);
    EXPECT_TRUE(nil.IsEmpty());
}

TEST_F(Strings, Utf16OfAByteRecordIsReported) {
    StringHandle bytes = Utf8("ab");
    AssertionCapture capture;
    const uint16_t* units = bytes.Utf16();
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units[0], 0);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].unit, "string");
    StringHandle().Utf16();
    Wide(u"ab").Utf16();
    EXPECT_EQ(capture.Reports().size(), 1u) << "nil and UTF-16 records are not reported";
}

// ---- Conversions, numbers -------------------------------------------------------

TEST_F(Strings, ToUtf8AndToUtf16ConvertUnicodeText) {
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::u16string utf16 = u"a\u00E9\u20AC\U0001F600";

    StringHandle wide = Utf8(utf8).ToUtf16();
    EXPECT_EQ(wide.Encoding(), kEncodingUTF16);
    EXPECT_EQ(Bytes(wide), Bytes(utf16));
    EXPECT_EQ(wide.Get()->text[wide.Length() + 2], 0);

    StringHandle narrow = Wide(utf16).ToUtf8();
    EXPECT_EQ(narrow.Encoding(), kEncodingUTF8);
    EXPECT_EQ(Bytes(narrow), utf8);
    EXPECT_EQ(narrow.Get()->capacity, int32_t(utf8.size()) + 2);

    StringHandle u8 = Utf8("x"), u16 = Wide(u"x");
    EXPECT_EQ(u8.ToUtf8().Get(), u8.Get());
    EXPECT_EQ(u16.ToUtf16().Get(), u16.Get());
    EXPECT_TRUE(StringHandle().ToUtf8().IsEmpty());
    EXPECT_TRUE(StringHandle().ToUtf16().IsEmpty());
}

TEST_F(Strings, OtherEncodingsConvertThroughTheConverters) {
    EXPECT_TRUE(Ascii("ab").ToUtf16().IsEmpty()) << "no converter installed yet";
    EXPECT_TRUE(Make("ab", kOtherEncoding).ToUtf8().IsEmpty());
    SetStringConverter(WidenAscii);
    StringHandle wide = Ascii("ab").ToUtf16();
    EXPECT_EQ(wide.Encoding(), kEncodingUTF16);
    EXPECT_EQ(Bytes(wide), Bytes(u"ab"));
    EXPECT_EQ(gConversions, 1);
}

TEST_F(Strings, NumberIsTheDecimalTextTaggedAscii) {
    struct Case {
        int32_t value;
        const char* text;
    } cases[] = {{0, "0"},
                 {7, "7"},
                 {-42, "-42"},
                 {INT32_MAX, "2147483647"},
                 {INT32_MIN, "-2147483648"}};
    for (const Case& c : cases) {
        StringHandle h = StringHandle::Number(c.value);
        EXPECT_EQ(Bytes(h), c.text);
        EXPECT_EQ(h.Encoding(), kEncodingASCII);
    }
}

// ---- Comparison -----------------------------------------------------------------

TEST_F(Strings, HandleComparisonIsBinaryOrThroughTheRomanTable) {
    struct Case {
        StringHandle a, b;
        int32_t binary, text;
    } cases[] = {
        {Ascii("abc"), Ascii("abc"), 0, 0},
        {Ascii("abc"), Ascii("abd"), -1, -1},
        {Ascii("abd"), Ascii("abc"), 1, 1},
        {Ascii("ab"), Ascii("abc"), -1, -1},
        {Ascii("abc"), Ascii("ab"), 1, 1},
        {Ascii("abc"), Ascii("ABC"), 1, 0},
        {Ascii("ab"), Ascii("ABC"), 1, -1},
        {Make("\x8A", kOtherEncoding), Make("\x80", kOtherEncoding), 1, 0},
        {Make("\x7F", kOtherEncoding), Make("\x80", kOtherEncoding), -1, -1},
        {StringHandle(), Ascii("a"), -1, -1},
        {Ascii("a"), StringHandle(), 1, 1},
        {StringHandle(), StringHandle(), 0, 0},
        // Unknown and different encodings compare their bytes as they are.
        {Make("abc", kEncodingUnknown), Utf8("ABC"), 1, 0},
        {Wide(u"a"), Ascii("a"), 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StringCompareBinary(c.a, c.b), c.binary) << Bytes(c.a) << " " << Bytes(c.b);
        EXPECT_EQ(StringCompareText(c.a, c.b), c.text) << Bytes(c.a) << " " << Bytes(c.b);
    }
    StringHandle same = Ascii("x");
    EXPECT_EQ(StringCompareBinary(same, same), 0);
}

TEST_F(Strings, RuntimeStringCompareIsCaseInsensitive) {
    struct Case {
        const char* what;
        StringHandle a, b;
        int32_t expected;
    } cases[] = {
        {"s, nil", Ascii("s"), StringHandle(), 1},
        {"nil, s", StringHandle(), Ascii("s"), -1},
        {"nil, nil", StringHandle(), StringHandle(), 0},
        {"ASCII case", Ascii("ABC"), Ascii("abc"), 0},
        {"ASCII prefix", Ascii("ab"), Ascii("ABC"), -1},
        {"ASCII longer", Ascii("ABC"), Ascii("ab"), 1},
        {"ASCII order", Ascii("abd"), Ascii("ABC"), 1},
        {"UTF-8 e acute", Utf8("\xC3\xA9"), Utf8("\xC3\x89"), 0},
        {"UTF-8 Greek", Utf8("\xCE\xB1\xCE\xB2\xCE\xB3\xCF\x89"),
         Utf8("\xCE\x91\xCE\x92\xCE\x93\xCE\xA9"), 0},
        {"UTF-8 Cyrillic", Utf8("\xD0\xB4\xD0\xB0"), Utf8("\xD0\x94\xD0\x90"), 0},
        {"UTF-8 fullwidth", Utf8("\xEF\xBD\x81"), Utf8("\xEF\xBC\xA1"), 0},
        {"UTF-8 order", Utf8("\xC3\xA9"), Utf8("f"), 1},
        {"UTF-8 prefix", Utf8("\xC3\xA9"), Utf8("\xC3\x89" "a"), -1},
        {"UTF-8 beyond the plane", Utf8("\xF0\x9F\x98\x80"), Utf8("\xF0\x9F\x98\x81"), -1},
        {"UTF-8 cut short", Utf8("a\xE2"), Utf8("A\xE2\x82"), -1},
        {"ASCII and UTF-8", Ascii("ABC"), Utf8("abc"), 0},
        // Capitals that are no folded member keep their own value.
        {"Kelvin sign", Utf8("\xE2\x84\xAA"), Utf8("k"), 1},
        // The first capital of iota is U+0345, so capital iota stays apart.
        {"iota", Utf8("\xCE\xB9"), Utf8("\xCE\x99"), -1},
        {"UTF-16 Greek", Wide(u"\u03C9mega"), Wide(u"\u03A9MEGA"), 0},
        {"UTF-16 prefix", Wide(u"ab"), Wide(u"ABC"), -1},
        {"UTF-16 order", Wide(u"b"), Wide(u"A"), 1},
        {"unknown and ASCII", Make("abc", kEncodingUnknown), Ascii("ABC"), 0},
        {"other and ASCII", Make("ABC", kOtherEncoding), Ascii("abd"), -1},
        // No converter: the UTF-16 bytes are read as ANSI text, two units for "A".
        {"UTF-16 and ASCII", Wide(u"A"), Ascii("a"), 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RuntimeStringCompare(c.a.Get(), c.b.Get()), c.expected) << c.what;
    StringHandle same = Utf8("x");
    EXPECT_EQ(RuntimeStringCompare(same.Get(), same.Get()), 0);
}

TEST_F(Strings, RuntimeStringCompareUsesTheConvertedTexts) {
    SetStringConverter(WidenAscii);
    StringHandle a = Ascii("abc"), b = Wide(u"ABC");
    EXPECT_EQ(RuntimeStringCompare(a.Get(), b.Get()), 0);
    EXPECT_EQ(gConversions, 1);
    EXPECT_EQ(a.Encoding(), kEncodingASCII) << "borrowed arguments are not changed";
    EXPECT_EQ(Refs(a), 1);
    EXPECT_EQ(Refs(b), 1);
}

// ---- Case tables ----------------------------------------------------------------

TEST_F(Strings, RomanTableMapsExactlyTheLowerCaseLetters) {
    std::vector<std::pair<int, int>> mapped;
    for (int c = 0x61; c <= 0x7A; ++c) mapped.emplace_back(c, c - 0x20);
    const int accented[][2] = {
        {0x87, 0xE7}, {0x88, 0xCB}, {0x89, 0xE5}, {0x8A, 0x80}, {0x8B, 0xCC}, {0x8C, 0x81},
        {0x8D, 0x82}, {0x8E, 0x83}, {0x8F, 0xE9}, {0x90, 0xE6}, {0x91, 0xE8}, {0x92, 0xEA},
        {0x93, 0xED}, {0x94, 0xEB}, {0x95, 0xEC}, {0x96, 0x84}, {0x97, 0xEE}, {0x98, 0xF1},
        {0x99, 0xEF}, {0x9A, 0x85}, {0x9B, 0xCD}, {0x9C, 0xF2}, {0x9D, 0xF4}, {0x9E, 0xF3},
        {0x9F, 0x86}, {0xBE, 0xAE}, {0xBF, 0xAF}, {0xCF, 0xCE}, {0xD8, 0xD9}, {0xF5, 0x49},
    };
    for (const auto& pair : accented) mapped.emplace_back(pair[0], pair[1]);
    ASSERT_EQ(mapped.size(), 56u);

    int elsewhere = 0;
    for (int c = 0; c < 256; ++c) {
        int expected = c;
        for (const auto& m : mapped)
            if (m.first == c) expected = m.second;
        EXPECT_EQ(kRomanUpper[c], expected) << std::hex << c;
        if (kRomanUpper[c] != c) ++elsewhere;
    }
    EXPECT_EQ(elsewhere, 56);
}

TEST_F(Strings, UnicodeTableHas724SortedRows) {
    ASSERT_EQ(UnicodeCaseTableSize(), 724);
    for (int32_t i = 0; i < kUnicodeCaseRows; ++i) {
        EXPECT_NE(kUnicodeCaseTable[i].capital, kUnicodeCaseTable[i].folded) << i;
        if (i > 0) {
            EXPECT_LT(kUnicodeCaseTable[i - 1].capital, kUnicodeCaseTable[i].capital) << i;
        }
    }
}

const UnicodeCaseRow* FindRow(uint16_t capital) {
    int32_t lo = 0, hi = kUnicodeCaseRows - 1;
    while (lo <= hi) {
        int32_t mid = (lo + hi) / 2;
        if (kUnicodeCaseTable[mid].capital == capital) return &kUnicodeCaseTable[mid];
        if (kUnicodeCaseTable[mid].capital < capital) lo = mid + 1; else hi = mid - 1;
    }
    return nullptr;
}

TEST_F(Strings, UnicodeTableHasTheTellingRows) {
    std::vector<std::pair<uint16_t, uint16_t>> rows = {
        {0x00B5, 0x03BC}, {0x017F, 0x0073}, {0x0345, 0x03B9}, {0x03C2, 0x03C3},
        {0x1E9B, 0x1E61}, {0x1FBE, 0x03B9}, {0x2126, 0x03C9}, {0x212A, 0x006B},
        {0x212B, 0x00E5}, {0x2160, 0x2170}, {0x24B6, 0x24D0}, {0x1F88, 0x1F80},
    };
    for (uint16_t i = 0; i < 26; ++i) {
        rows.emplace_back(uint16_t(0x41 + i), uint16_t(0x61 + i));
        rows.emplace_back(uint16_t(0xFF21 + i), uint16_t(0xFF41 + i));
    }
    for (const auto& r : rows) {
        const UnicodeCaseRow* row = FindRow(r.first);
        ASSERT_NE(row, nullptr) << std::hex << r.first;
        EXPECT_EQ(row->folded, r.second) << std::hex << r.first;
    }
    for (uint16_t absent : {0x0130, 0x0131, 0x00DF, 0x10A0, 0x10C5, 0x1E9E, 0x03F9, 0x0061})
        EXPECT_EQ(FindRow(absent), nullptr) << std::hex << absent;
}

TEST_F(Strings, UnicodeLookupsMapThroughTheTable) {
    struct Case {
        uint16_t cp, upper, lower;
    } cases[] = {
        {0x0073, 0x0053, 0x0073},  // s: the first of S and long s
        {0x0053, 0x0053, 0x0073},
        {0x017F, 0x017F, 0x0073},
        {0x006B, 0x004B, 0x006B},  // k: K before the Kelvin sign
        {0x212A, 0x212A, 0x006B},
        {0x00E5, 0x00C5, 0x00E5},
        {0x03C3, 0x03A3, 0x03C3},
        {0x03B9, 0x0345, 0x03B9},  // iota: the combining ypogegrammeni comes first
        {0x03BC, 0x00B5, 0x03BC},
        {0x1E61, 0x1E60, 0x1E61},
        {0x2170, 0x2160, 0x2170},
        {0xFF41, 0xFF21, 0xFF41},
        {0xFF3A, 0xFF3A, 0xFF5A},
        {0x0130, 0x0130, 0x0130},
        {0x00DF, 0x00DF, 0x00DF},
        {0x10A0, 0x10A0, 0x10A0},
        {0x0000, 0x0000, 0x0000},
        {0xFFFF, 0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnicodeToUpper(c.cp), c.upper) << std::hex << c.cp;
        EXPECT_EQ(UnicodeToLower(c.cp), c.lower) << std::hex << c.cp;
    }
    // Every capital lowers to its own row; every folded member raises to a capital folding to it.
    for (const UnicodeCaseRow& row : kUnicodeCaseTable) {
        EXPECT_EQ(UnicodeToLower(row.capital), row.folded) << std::hex << row.capital;
        EXPECT_EQ(UnicodeToLower(UnicodeToUpper(row.folded)), row.folded) << std::hex << row.folded;
        EXPECT_LE(UnicodeToUpper(row.folded), row.capital) << std::hex << row.folded;
    }
}

// ---- The pool and the general allocator ----------------------------------------

TEST_F(Strings, PoolTakes252BytesAndLeavesLargerBlocksToTheHeap) {
    struct Case {
        int32_t size;
        int64_t pooled;
    } cases[] = {{1, 1}, {4, 4}, {5, 5}, {252, 252}, {253, 0}, {8192, 0}};
    for (const Case& c : cases) {
        int64_t before = PoolPooledBytes();
        void* block = PoolAlloc(c.size, false);
        ASSERT_NE(block, nullptr);
        std::memset(block, 0xA5, size_t(c.size));
        EXPECT_EQ(PoolPooledBytes() - before, c.pooled) << c.size;
        PoolFree(block, c.size);
        EXPECT_EQ(PoolPooledBytes(), before) << c.size;
    }
    PoolFailNextHeapRequests(1);
    EXPECT_EQ(PoolAlloc(253, true), nullptr) << "253 bytes is a heap request";
    EXPECT_EQ(PoolAlloc(0, false), nullptr);
    EXPECT_EQ(PoolAlloc(-4, false), nullptr);
    PoolFree(nullptr, 16);
}

TEST_F(Strings, PoolReusesAFreedBlockOfTheSameClass) {
    void* first = PoolAlloc(40, false);
    void* other = PoolAlloc(44, false);
    PoolFree(first, 40);
    void* again = PoolAlloc(37, false);  // 37..40 share the class
    EXPECT_EQ(again, first);
    void* fresh = PoolAlloc(40, false);
    EXPECT_NE(fresh, first);
    EXPECT_NE(fresh, other);
    PoolFree(fresh, 40);
    PoolFree(again, 37);
    PoolFree(other, 44);
}

TEST_F(Strings, PoolFreeOfANonPositiveSizeIsIgnored) {
    void* block = PoolAlloc(16, false);
    int64_t before = PoolPooledBytes();
    PoolFree(block, 0);
    PoolFree(block, -100);
    EXPECT_EQ(PoolPooledBytes(), before);
    PoolFree(block, 16);
    EXPECT_EQ(PoolAlloc(16, false), block) << "the free list holds the block once";
    PoolFree(block, 16);
}

TEST_F(Strings, GeneralAllocatorGuardsTheBlockHeader) {
    int64_t before = PoolPooledBytes();
    uint8_t* block = static_cast<uint8_t*>(RuntimeMemAlloc(10));
    const uint32_t* header = reinterpret_cast<const uint32_t*>(block) - 2;
    EXPECT_EQ(header[0], 10u);
    EXPECT_EQ(header[1], 0xDEADBEEFu);
    EXPECT_EQ(PoolPooledBytes(), before + 18);
    RuntimeMemFree(block);
    EXPECT_EQ(PoolPooledBytes(), before);
    RuntimeMemFree(nullptr);
}

TEST_F(Strings, DamagedGuardIsReportedAndTheBlockStillFreed) {
    int64_t before = PoolPooledBytes();
    uint8_t* block = static_cast<uint8_t*>(RuntimeMemAlloc(24));
    reinterpret_cast<uint32_t*>(block)[-1] = 0x12345678u;  // an underrun over the guard
    AssertionCapture capture;
    RuntimeMemFree(block);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].message, "overwrote start of block");
    EXPECT_EQ(capture.Reports()[0].unit, "dump");
    EXPECT_EQ(PoolPooledBytes(), before);
    EXPECT_EQ(RuntimeMemAlloc(24), block) << "the block went back to its free list";
    RuntimeMemFree(block);
}

TEST_F(Strings, SecondFreeIsReportedWithoutLoopingTheFreeList) {
    // A class no other test uses, so the freed block's link word reads 0 as
    // its size and a second free would push it onto the 8-byte list.
    constexpr int32_t kSize = 200;
    void* block = RuntimeMemAlloc(kSize);
    RuntimeMemFree(block);
    int64_t before = PoolPooledBytes();
    {
        AssertionCapture capture;
        RuntimeMemFree(block);
        EXPECT_EQ(capture.Reports().size(), 1u);
    }
    EXPECT_EQ(PoolPooledBytes(), before) << "nothing went back to the pool twice";
    void* a = RuntimeMemAlloc(kSize);
    void* b = RuntimeMemAlloc(kSize);
    void* small = RuntimeMemAlloc(0);
    EXPECT_EQ(a, block);
    EXPECT_NE(b, block);
    EXPECT_NE(small, block);
    RuntimeMemFree(small);
    RuntimeMemFree(b);
    RuntimeMemFree(a);
}

}  // namespace
