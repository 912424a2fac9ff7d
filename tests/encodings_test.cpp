// Text encodings: Convert and its cache, Transcode through the code pages and
// the Japanese byte converters, joining and comparing strings of different
// encodings, the TextEncoding, _Encodings, TextConverter and EndOfLine classes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "loader/relocentry.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeObjectFoundation.h"
#include "orvane/exports.h"
#include "strings/JapaneseConverters.h"
#include "strings/TextEncodingUtil.h"
#include "strings/basicstr.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

namespace {

constexpr uint32_t kSjis = kEncodingShiftJIS;
constexpr uint32_t kEuc = kEncodingEUCJP;
constexpr uint32_t kIso = kEncodingISO2022JP;

// Japanese texts in the four encodings (ISO-2022-JP as this runtime writes it:
// ESC ( J back to single bytes).
struct JapaneseText {
    const char* what;
    std::string sjis, euc, iso, utf8;
};
const JapaneseText kTexts[] = {
    {"route line", "\x98\x48\x90\xFC", "\xCF\xA9\xC0\xFE", "\x1B$B\x4F\x29\x40\x7E\x1B(J",
     "\xE8\xB7\xAF\xE7\xB7\x9A"},
    {"curve statement", "\x8B\xC8\x90\xFC" "R=600", "\xB6\xCA\xC0\xFE" "R=600",
     "\x1B$B\x36\x4A\x40\x7E\x1B(JR=600", "\xE6\x9B\xB2\xE7\xB7\x9A" "R=600"},
    {"trail byte 0x5C", "\x95\x5C\x8E\xA6", "\xC9\xBD\xBC\xA8", "\x1B$B\x49\x3D\x3C\x28\x1B(J",
     "\xE8\xA1\xA8\xE7\xA4\xBA"},
    {"half-width katakana", "\xB1\xB2\xB3", "\x8E\xB1\x8E\xB2\x8E\xB3", "\x1B(I\x31\x32\x33\x1B(J",
     "\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3"},
    {"station with reading",
     "\x93\x8C\x8B\x9E\x89\x77,0.0,\xC4\xB3\xB7\xAE\xB3",
     "\xC5\xEC\xB5\xFE\xB1\xD8,0.0,\x8E\xC4\x8E\xB3\x8E\xB7\x8E\xAE\x8E\xB3",
     "\x1B$B\x45\x6C\x35\x7E\x31\x58\x1B(J,0.0,\x1B(I\x44\x33\x37\x2E\x33\x1B(J",
     "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\xA7\x85,0.0,\xEF\xBE\x84\xEF\xBD\xB3\xEF\xBD\xB7\xEF\xBD\xAE\xEF\xBD\xB3"},
    {"line ends return to single bytes", "\x83\x5C\r\n\xB1", "\xA5\xBD\r\n\x8E\xB1",
     "\x1B$B\x25\x3D\x1B(J\r\n\x1B(I\x31\x1B(J", "\xE3\x82\xBD\r\n\xEF\xBD\xB1"},
};

TextEncodingObject* EncodingOf(const ObjectHandle& o) { return reinterpret_cast<TextEncodingObject*>(o.Get()); }

StringHandle Result(StringValue* s) { return StringHandle::Adopt(s); }
std::string Units(const std::u16string& u) { return std::string(reinterpret_cast<const char*>(u.data()), u.size() * 2); }


std::string Declaration(const PropertyEntry& p) { return std::string(StringText(p.declaration), size_t(StringLength(p.declaration))); }
std::string PropertyName(const PropertyEntry& p) {
    std::string d = Declaration(p);
    return d.substr(0, d.find('%'));
}

bool IsValidUtf8(const StringHandle& h) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, h.Text(), h.Length(), nullptr, 0) > 0;
}

// The identifiers the tests ask for shared objects of.
const uint32_t kSharedIdentifiers[] = {kEncodingUTF8, kEncodingUTF16, kEncodingASCII, kSjis, kEuc, kIso, 0x0500,
                                       0x0A02};

class Encodings : public ::testing::Test {
protected:
    // Process-lifetime things made on first use: the shared encoding objects,
    // the class records, the line-end texts and the character tables.
    static void SetUpTestSuite() {
        for (uint32_t id : kSharedIdentifiers) RuntimeUnlockObject(SharedTextEncoding(id));
        RuntimeUnlockObject(GetEncodingsObject());
        RuntimeUnlockObject(RuntimeGetEndOfLineObject());
        ObjectHandle sjis = ObjectHandle::Adopt(NewTextEncoding(kSjis));
        RuntimeUnlockObject(getTextConverter(sjis.Get(), sjis.Get()));
        RuntimeUnlockString(getMacEndOfLine(nullptr));
        RuntimeUnlockString(getWin32EndOfLine(nullptr));
        RuntimeUnlockString(getUNIXEndOfLine(nullptr));
        RuntimeUnlockString(RuntimeEndOfLine(nullptr));
        for (uint32_t e : {kSjis, kEuc, 0x0500u, kEncodingUTF8}) SelectCharacterTables(e);
    }
    void SetUp() override {
        InstallTextConverters();
        ClearConversionCache();
        live_ = RuntimeLiveObjectCount();
        pooled_ = PoolPooledBytes();
    }
    void TearDown() override {
        ClearConversionCache();
        SetStringConverter(nullptr);
        EXPECT_EQ(RuntimeLiveObjectCount(), live_) << "objects leaked";
        EXPECT_EQ(PoolPooledBytes(), pooled_) << "pool blocks leaked";
    }

    // A converter between two encodings of the _Encodings module, by index.
    static ObjectHeader* ConverterByIndex(int32_t from, int32_t to) {
        ObjectHandle encodings = ObjectHandle::Adopt(GetEncodingsObject());
        ObjectHandle source = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), from));
        ObjectHandle destination = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), to));
        return getTextConverter(source.Get(), destination.Get());
    }

private:
    int32_t live_ = 0;
    int64_t pooled_ = 0;
};

constexpr int32_t kIndexUTF8 = 1, kIndexUTF16 = 2, kIndexShiftJIS = 89, kIndexDOSJapanese = 73;

// ---- Platform and code pages ----------------------------------------------------------------

TEST_F(Encodings, TheJapaneseCodePagesAreUsable) {
    EXPECT_TRUE(IsValidCodePage(932)) << "the Wine prefix needs code page 932";
    for (uint32_t e : {kSjis, kEuc, kIso, kEncodingUTF8, kEncodingUTF16, 0x0420u})
        EXPECT_TRUE(EncodingIsUsable(e)) << std::hex << e;
    EXPECT_FALSE(EncodingIsUsable(0x0A02)) << "KOI8-R has no code page";
    EXPECT_EQ(EncodingOfSystemScript(13), kSjis);
    EXPECT_EQ(EncodingOfSystemScript(21), 0x0423u);
    EXPECT_EQ(EncodingOfSystemScript(0), 0x0500u);
}

// ---- Shift_JIS to UTF-8 -------------------------------------------------------------------------

TEST_F(Encodings, ShiftJisRouteTextConvertsToUtf8) {
    ObjectHandle converter = ObjectHandle::Adopt(ConverterByIndex(kIndexShiftJIS, kIndexUTF8));
    ASSERT_TRUE(converter);
    for (const JapaneseText& t : kTexts) {
        // The converter decodes as Shift_JIS whatever tag the line carries.
        for (uint32_t tag : {kSjis, kEncodingUnknown, kEncodingASCII}) {
            StringHandle line = Make(t.sjis, tag);
            StringHandle out = Result(textConverterConvert(converter.Get(), line.Get()));
            EXPECT_EQ(Bytes(out), t.utf8) << t.what;
            EXPECT_EQ(out.Encoding(), kEncodingUTF8) << t.what;
        }
    }
}

TEST_F(Encodings, BytesCodePage932CannotDecodeBecomeReplacementsAndTheRestSurvives) {
    ObjectHandle converter = ObjectHandle::Adopt(ConverterByIndex(kIndexShiftJIS, kIndexUTF8));
    const std::string head = "\x98\x48", tail = "\x90\xFC";  // 路 ... 線
    const char* const kBroken[] = {"\x82\x20", "\xFF", "\xA0", "\x87\x7F"};
    for (const char* broken : kBroken) {
        StringHandle line = Make(head + broken + "," + tail, kSjis);
        StringHandle out = Result(textConverterConvert(converter.Get(), line.Get()));
        std::string bytes = Bytes(out);
        ASSERT_FALSE(out.IsEmpty()) << "a bad byte does not lose the line";
        EXPECT_TRUE(IsValidUtf8(out));
        EXPECT_EQ(bytes.substr(0, 3), "\xE8\xB7\xAF");
        EXPECT_EQ(bytes.substr(bytes.size() - 4), ",\xE7\xB7\x9A") << "the text after the bad byte survives";
        EXPECT_GT(bytes.size(), 7u) << "the bad byte leaves a replacement";
    }
    // A lead byte that ends the line.
    StringHandle cut = Result(textConverterConvert(converter.Get(), Make(head + tail + "\x81", kSjis).Get()));
    EXPECT_TRUE(IsValidUtf8(cut));
    EXPECT_EQ(Bytes(cut).substr(0, 6), "\xE8\xB7\xAF\xE7\xB7\x9A");
}

TEST_F(Encodings, ShiftJisToUtf16GivesTwoBytesPerCharacter) {
    StringHandle s = Make(kTexts[4].sjis, kSjis);  // 13 characters in 16 bytes
    StringHandle wide = s.ToUtf16();
    EXPECT_EQ(wide.Length(), 2 * 13);
    EXPECT_EQ(wide.Encoding(), kEncodingUTF16);
    EXPECT_EQ(Bytes(wide).substr(0, 2), Units(u"\u6771"));
    EXPECT_EQ(Bytes(s.ToUtf8()), kTexts[4].utf8);
    EXPECT_EQ(Bytes(wide.ToUtf8()), kTexts[4].utf8);
}

// ---- Convert ---------------------------------------------------------------------------------------

TEST_F(Encodings, SevenBitTextIsRetaggedNotTranscoded) {
    // 0xE9 tagged ASCII is copied as it is: code page 1252 to 932 would change it.
    struct Case {
        StringHandle s;
        uint32_t target;
        std::string bytes;
    } cases[] = {
        {Ascii("abc"), kSjis, "abc"},
        {Ascii("a\xE9"), kSjis, "a\xE9"},
        {Make("abc", kEncodingUnknown), kEncodingUTF8, "abc"},
        {Make("abc", kSjis), kEuc, "abc"},
        {Utf8("x=1"), 0x0500, "x=1"},
    };
    for (Case& c : cases) {
        StringHandle out = Result(ConvertString(c.s.Get(), c.target));
        EXPECT_EQ(Bytes(out), c.bytes);
        EXPECT_EQ(out.Encoding(), c.target);
        EXPECT_NE(out.Get(), c.s.Get()) << "a retagged copy";
    }
}

TEST_F(Encodings, SevenBitTextOfWideOrShiftedEncodingsIsTranscoded) {
    // Their 7-bit bytes are not ASCII text: retagging them would garble it.
    StringHandle wide = Wide(u"ab");
    EXPECT_EQ(Bytes(Result(ConvertString(wide.Get(), kEncodingUTF8))), "ab");
    StringHandle iso = Make(kTexts[0].iso, kIso);
    EXPECT_EQ(Bytes(Result(ConvertString(iso.Get(), kSjis))), kTexts[0].sjis);
    EXPECT_EQ(Bytes(Result(ConvertString(Ascii("ab").Get(), kEncodingUTF16))), Units(u"ab"));
}

TEST_F(Encodings, ConvertReturnsTheStringItselfWhenNothingChanges) {
    StringHandle s = Make("\x98\x48", kSjis);
    EXPECT_EQ(Result(ConvertString(s.Get(), kSjis)).Get(), s.Get());
    EXPECT_EQ(Result(ConvertString(s.Get(), kEncodingUnknown)).Get(), s.Get());
    EXPECT_EQ(ConvertString(nullptr, kEncodingUTF8), nullptr);
    EXPECT_EQ(Result(ConvertString(s.Get(), 0x0A02)).Get(), nullptr) << "no code page: nil";
}

TEST_F(Encodings, TheCacheServesTheLastConversionAgain) {
    StringHandle a = Make(kTexts[0].sjis, kSjis), b = Make(kTexts[1].sjis, kSjis);
    StringHandle first = Result(ConvertString(a.Get(), kEncodingUTF8));
    StringHandle again = Result(ConvertString(a.Get(), kEncodingUTF8));
    EXPECT_EQ(again.Get(), first.Get()) << "one transcoding for repeated conversions";
    EXPECT_EQ(Bytes(again), kTexts[0].utf8);

    // Another target for the same source is converted anew and replaces the slot.
    StringHandle wide = Result(ConvertString(a.Get(), kEncodingUTF16));
    EXPECT_EQ(wide.Encoding(), kEncodingUTF16);
    EXPECT_NE(Result(ConvertString(a.Get(), kEncodingUTF8)).Get(), first.Get());

    // One slot: another source replaces it.
    StringHandle bFirst = Result(ConvertString(b.Get(), kEncodingUTF8));
    EXPECT_EQ(Result(ConvertString(b.Get(), kEncodingUTF8)).Get(), bFirst.Get());
    EXPECT_NE(Result(ConvertString(a.Get(), kEncodingUTF8)).Get(), first.Get());

    // An equal text in another record is another source.
    StringHandle copy = Make(kTexts[1].sjis, kSjis);
    EXPECT_NE(Result(ConvertString(copy.Get(), kEncodingUTF8)).Get(), bFirst.Get());
}

TEST_F(Encodings, TheCacheKeepsItsSourceAlive) {
    StringHandle result;
    {
        StringHandle source = Make(kTexts[0].sjis, kSjis);
        result = Result(ConvertString(source.Get(), kEncodingUTF8));
    }
    EXPECT_EQ(Bytes(result), kTexts[0].utf8);
    EXPECT_EQ(result.Get()->refCount, 2) << "the caller's and the cache's";
    ClearConversionCache();
    EXPECT_EQ(result.Get()->refCount, 1);
}

TEST_F(Encodings, ComparingInALoopTranscodesOnce) {
    StringHandle sjis = Make(kTexts[1].sjis, kSjis);
    StringHandle utf8 = Utf8(kTexts[1].utf8);
    StringHandle converted = Result(ConvertString(sjis.Get(), kEncodingUTF8));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RuntimeStringCompare(sjis.Get(), utf8.Get()), 0);
        EXPECT_EQ(Result(ConvertString(sjis.Get(), kEncodingUTF8)).Get(), converted.Get());
    }
}

// ---- Joining and comparing strings of different encodings -------------------------------------------

TEST_F(Encodings, JoiningStringsOfDifferentEncodings) {
    struct Case {
        const char* what;
        StringHandle a, b;
        std::string bytes;
        uint32_t encoding;
    } cases[] = {
        {"UTF-8 and Shift_JIS", Utf8("\xE8\xB7\xAF"), Make("\x90\xFC", kSjis), "\xE8\xB7\xAF\xE7\xB7\x9A",
         kEncodingUTF8},
        {"Shift_JIS and UTF-8", Make("\x98\x48", kSjis), Utf8("\xE7\xB7\x9A"), "\xE8\xB7\xAF\xE7\xB7\x9A",
         kEncodingUTF8},
        {"UTF-16 and Shift_JIS", Wide(u"\u8DEF"), Make("\x90\xFC", kSjis), Units(u"\u8DEF\u7DDA"), kEncodingUTF16},
        {"Shift_JIS and EUC-JP", Make("\x98\x48", kSjis), Make("\xC0\xFE", kEuc), "\xE8\xB7\xAF\xE7\xB7\x9A",
         kEncodingUTF8},
        {"ISO-2022-JP and UTF-8", Make(kTexts[0].iso, kIso), Utf8("!"), kTexts[0].utf8 + "!", kEncodingUTF8},
        {"ASCII and Shift_JIS: no conversion", Ascii("R="), Make("\x98\x48", kSjis), "R=\x98\x48", kSjis},
        {"unknown and Shift_JIS: bytes as they are", Make("\x98", kEncodingUnknown), Make("\x48", kSjis), "\x98\x48",
         kEncodingUnknown},
        {"no code page: bytes as they are, unknown", Make("\xE1", 0x0A02), Utf8("\xC3\xA9"), "\xE1\xC3\xA9",
         kEncodingUnknown},
    };
    for (Case& c : cases) {
        StringHandle joined = Result(RuntimeAddString(c.a.Get(), c.b.Get()));
        EXPECT_EQ(Bytes(joined), c.bytes) << c.what;
        EXPECT_EQ(joined.Encoding(), c.encoding) << c.what;
        StringHandle appended = c.a;
        appended.Append(c.b);
        EXPECT_EQ(Bytes(appended), c.bytes) << c.what;
    }
}

TEST_F(Encodings, ComparingStringsOfDifferentEncodings) {
    struct Case {
        const char* what;
        StringHandle a, b;
        int32_t runtime;  // RuntimeStringCompare
        int32_t binary;   // the handle's binary comparison
    } cases[] = {
        {"equal text", Make(kTexts[1].sjis, kSjis), Utf8(kTexts[1].utf8), 0, 0},
        {"equal text, EUC-JP and Shift_JIS", Make(kTexts[0].euc, kEuc), Make(kTexts[0].sjis, kSjis), 0, 0},
        {"letter case is ignored", Make("ABC\x90\xFC", kSjis), Utf8("abc\xE7\xB7\x9A"), 0, -1},
        {"prefix is smaller", Make("\x98\x48", kSjis), Utf8("\xE8\xB7\xAF\xE7\xB7\x9A"), -1, -1},
        {"code point order", Make("\x90\xFC", kSjis), Wide(u"\u8DEF"), -1, -1},  // U+7DDA < U+8DEF
        {"UTF-16 against Shift_JIS", Wide(u"\u8DEF"), Make("\x90\xFC", kSjis), 1, 1},
    };
    for (Case& c : cases) {
        EXPECT_EQ(RuntimeStringCompare(c.a.Get(), c.b.Get()), c.runtime) << c.what;
        EXPECT_EQ(StringCompareBinary(c.a, c.b), c.binary) << c.what;
    }
}

TEST_F(Encodings, StringFunctionsMeetDelimitersOfOtherEncodings) {
    // The delimiter comes in UTF-8 and is converted to the text's Shift_JIS.
    StringHandle line = Make("\x98\x48\x81\x41\x90\xFC", kSjis);  // 路、線
    StringHandle comma = Utf8("\xE3\x80\x81");
    EXPECT_EQ(StringCountFields(line.Get(), comma.Get()), 2);
    StringHandle second = Result(StringNthField(line.Get(), comma.Get(), 2));
    EXPECT_EQ(Bytes(second), "\x90\xFC");
    EXPECT_EQ(second.Encoding(), kSjis);
}

// ---- EUC-JP and ISO-2022-JP -----------------------------------------------------------------------------

TEST_F(Encodings, JapaneseByteConvertersMatchTheirTables) {
    auto run = [](int32_t (*convert)(const uint8_t*, int32_t, uint8_t*), const std::string& in) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(in.data());
        int32_t n = convert(p, int32_t(in.size()), nullptr);
        std::string out(size_t(n), '\0');
        EXPECT_EQ(convert(p, int32_t(in.size()), reinterpret_cast<uint8_t*>(&out[0])), n) << "count = written";
        return out;
    };
    for (const JapaneseText& t : kTexts) {
        EXPECT_EQ(run(ShiftJisToEucJp, t.sjis), t.euc) << t.what;
        EXPECT_EQ(run(EucJpToShiftJis, t.euc), t.sjis) << t.what;
        EXPECT_EQ(run(ShiftJisToIso2022Jp, t.sjis), t.iso) << t.what;
        EXPECT_EQ(run(Iso2022JpToShiftJis, t.iso), t.sjis) << t.what;
    }
    // Other designations read the same way.
    EXPECT_EQ(run(Iso2022JpToShiftJis, "\x1B$@\x4F\x29\x1B(B!"), "\x98\x48!");
    EXPECT_EQ(run(Iso2022JpToShiftJis, "\x1BK\x4F\x29\x1B(H!"), "\x98\x48!");
    EXPECT_EQ(run(Iso2022JpToShiftJis, "\x1B$(D\x4F\x29\n\x4F"), "\x98\x48\n\x4F") << "LF returns to single bytes";
    // Stray bytes pass through and never read past the end.
    EXPECT_EQ(run(EucJpToShiftJis, "\xCF"), "\xCF");
    EXPECT_EQ(run(EucJpToShiftJis, "\x8E"), "\x8E");
    EXPECT_EQ(run(ShiftJisToEucJp, "\x98"), "\x98");
    EXPECT_EQ(run(Iso2022JpToShiftJis, "\x1B"), "\x1B");
    EXPECT_EQ(run(Iso2022JpToShiftJis, "\x1B$"), "\x1B$");
    EXPECT_EQ(run(ShiftJisToIso2022Jp, ""), "");
}

TEST_F(Encodings, JisArithmeticRoundTripsEveryCell) {
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            uint8_t s1, s2, b1, b2;
            JisToShiftJis(uint8_t(j1), uint8_t(j2), s1, s2);
            ASSERT_TRUE(IsShiftJisLead(s1) && IsShiftJisTrail(s2)) << j1 << "," << j2;
            ShiftJisToJis(s1, s2, b1, b2);
            ASSERT_EQ(b1, j1);
            ASSERT_EQ(b2, j2);
        }
    }
}

TEST_F(Encodings, EucJpAndIso2022JpRoundTripThroughEveryEncoding) {
    for (const JapaneseText& t : kTexts) {
        struct Form {
            uint32_t encoding;
            const std::string& bytes;
        } forms[] = {{kSjis, t.sjis}, {kEuc, t.euc}, {kIso, t.iso}, {kEncodingUTF8, t.utf8}};
        for (const Form& from : forms) {
            StringHandle s = Make(from.bytes, from.encoding);
            for (const Form& to : forms) {
                StringHandle out = Transcode(s, from.encoding, to.encoding);
                EXPECT_EQ(Bytes(out), to.bytes) << t.what << ": " << std::hex << from.encoding << " to " << to.encoding;
                EXPECT_EQ(out.Encoding(), to.encoding);
            }
            StringHandle wide = Transcode(s, from.encoding, kEncodingUTF16);
            EXPECT_EQ(Bytes(Transcode(wide, kEncodingUTF16, from.encoding)), from.bytes) << t.what;
        }
    }
}

TEST_F(Encodings, EucJpTextConvertsThroughTheStringEntryPoints) {
    ObjectHandle euc = ObjectHandle::Adopt(getTextEncoding(int32_t(kEuc), 0, 0));
    ObjectHandle iso = ObjectHandle::Adopt(NewTextEncoding(kIso));
    StringHandle utf8 = Utf8(kTexts[4].utf8);
    StringHandle asEuc = Result(StringConvertEncoding(utf8.Get(), euc.Get()));
    EXPECT_EQ(Bytes(asEuc), kTexts[4].euc);
    EXPECT_EQ(asEuc.Encoding(), kEuc);
    StringHandle asIso = Result(StringConvertEncoding(asEuc.Get(), iso.Get()));
    EXPECT_EQ(Bytes(asIso), kTexts[4].iso);
    EXPECT_EQ(Bytes(asIso.ToUtf8()), kTexts[4].utf8);
}

TEST_F(Encodings, EucJpHasDoubleByteTables) {
    EXPECT_TRUE(SelectCharacterTables(kEuc));
    StringHandle s = Make(kTexts[4].euc, kEuc);  // 3 kanji, ",0.0,", 5 katakana
    EXPECT_EQ(StringDBCSLen(s.Get()), 13);
    EXPECT_EQ(StringDBCSAsc(s.Get()), 0xC5EC);
    EXPECT_FALSE(SelectCharacterTables(kIso)) << "ISO-2022-JP keeps the tables selected before";
}

// ---- guessJapaneseEncoding ------------------------------------------------------------------------------

TEST_F(Encodings, GuessJapaneseEncoding) {
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t expected;  // 0: nil
    } cases[] = {
        {"plain ASCII", "curve,600", 0},
        {"ESC $ B", "a\x1B$B\x4F\x29", kIso},
        {"ESC $ @", "\x1B$@", kIso},
        {"ESC K", "\x1BK", kIso},
        {"ESC ( J alone", "\x1B(J", 0},
        {"Shift_JIS lead", kTexts[0].sjis, kSjis},
        {"Shift_JIS 0xE0 lead, trail 0x40", "\xE0\x40", kSjis},
        {"EUC-JP kanji", kTexts[0].euc, kEuc},
        {"EUC-JP 0xF0 and up", "\xF0\xA1", kEuc},
        {"0xE0-0xEF then 0xFD", "\xE0\xFD", kEuc},
        {"half-width katakana only: ambiguous", kTexts[3].sjis, 0},
        {"0x8E then katakana: ambiguous", "\x8E\xB1", 0},
        {"0x8E then 0x40", "\x8E\x40", kSjis},
        {"0xA1-0xDF then 0xE0-0xEF, then a Shift_JIS byte", "\xB1\xE0\x40\x88", kSjis},
        {"0xA1-0xDF then 0xE0-0xEF, then 0xFD", "\xB1\xE0\xFD", kEuc},
        {"0xA1-0xDF then below 0xA0", "\xB1\x41", kSjis},
        {"lead at the very end", "abc\xE0", 0},
    };
    for (const Case& c : cases) {
        StringHandle s = Make(c.bytes, kEncodingUnknown);
        ObjectHandle guess = ObjectHandle::Adopt(guessJapaneseEncoding(s.Get()));
        if (c.expected == 0) {
            EXPECT_FALSE(guess) << c.what;
        } else {
            ASSERT_TRUE(guess) << c.what;
            EXPECT_EQ(EncodingOf(guess)->code, c.expected) << c.what;
            EXPECT_EQ(uint32_t(EncodingOf(guess)->base), c.expected) << c.what;
        }
    }
    EXPECT_EQ(guessJapaneseEncoding(nullptr), nullptr);
}

// ---- TextEncoding ---------------------------------------------------------------------------------------

TEST_F(Encodings, TextEncodingObjectsFromPartsAndFromIdentifiers) {
    struct Case {
        int32_t base, variant, format;
        uint32_t code;
    } cases[] = {
        {0x0100, 0, 2, kEncodingUTF8}, {0x0100, 0, 0, 0x0100}, {0x0A01, 3, 1, 0x0A01}, {0x0100, 0, 3, 0x0100},
    };
    for (const Case& c : cases) {
        ObjectHandle e = ObjectHandle::Adopt(getTextEncoding(c.base, c.variant, c.format));
        ASSERT_TRUE(e);
        EXPECT_EQ(textEncodingBaseGetter(e.Get(), 0), c.base);
        EXPECT_EQ(textEncodingVariantGetter(e.Get(), 0), c.variant);
        EXPECT_EQ(textEncodingFormatGetter(e.Get(), 0), c.format);
        EXPECT_EQ(intGetter(e.Get(), kTextEncodingCodeAt), int32_t(c.code));
        EXPECT_EQ(EncodingOf(e)->valid, 1);
        EXPECT_EQ(GetEncodingFromTEObject(e.Get()), c.code);
        EXPECT_EQ(textEncodingInternetName(e.Get(), 0), nullptr);
    }
    ObjectHandle utf8 = ObjectHandle::Adopt(NewTextEncoding(kEncodingUTF8));
    EXPECT_EQ(uint32_t(EncodingOf(utf8)->base), kEncodingUTF8);
    EXPECT_EQ(EncodingOf(utf8)->format, 0);
    EXPECT_EQ(GetEncodingFromTEObject(nullptr), kEncodingUnknown);
    EXPECT_EQ(getInternetTextEncoding(Ascii("Shift_JIS").Get()), nullptr);
}

TEST_F(Encodings, TheClassRecordOfTextEncoding) {
    ClassRecord* cls = ClassNamed("TextEncoding");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->instanceSize, kTextEncodingSize);
    ASSERT_EQ(cls->propertyCount, 5);
    const char* const names[] = {"base", "variant", "format", "internetName", "code"};
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(PropertyName(cls->properties[i]), names[i]);
        EXPECT_EQ(cls->properties[i].setter, nullptr) << "read-only";
    }
    EXPECT_EQ(cls->properties[4].getter, reinterpret_cast<void*>(intGetter));
    EXPECT_EQ(cls->properties[4].parameter, kTextEncodingCodeAt);
    EXPECT_EQ(cls->staticMethodCount, 2);
    EXPECT_EQ(ExportFindForLink("TextEncodingChr"), reinterpret_cast<void*>(TextEncodingChr));
    EXPECT_EQ(ExportFindForLink("TextEncodingEquals"), reinterpret_cast<void*>(TextEncodingEquals));
    EXPECT_EQ(ExportFindForLink("textEncodingBaseGetter"), reinterpret_cast<void*>(textEncodingBaseGetter));
}

TEST_F(Encodings, ChrWritesTheCodePointInTheEncoding) {
    struct Case {
        const char* what;
        ObjectHeader* (*make)();
        int32_t codePoint;
        std::string bytes;
        uint32_t encoding;
    } cases[] = {
        {"Shift_JIS pair, big-endian", [] { return NewTextEncoding(kSjis); }, 0x9848, "\x98\x48", kSjis},
        {"one byte", [] { return NewTextEncoding(kSjis); }, 0x41, "A", kSjis},
        {"zero keeps one byte", [] { return NewTextEncoding(0x0500); }, 0, std::string(1, '\0'), 0x0500},
        {"four bytes", [] { return NewTextEncoding(0x0500); }, 0x01020304, "\x01\x02\x03\x04", 0x0500},
        {"UTF8 object", [] { return NewTextEncoding(kEncodingUTF8); }, 0x8DEF, "\xE8\xB7\xAF", kEncodingUTF8},
        {"UTF-8 from parts", [] { return getTextEncoding(0x0100, 0, 2); }, 0xE9, "\xC3\xA9", kEncodingUTF8},
        {"UTF-16 unit", [] { return NewTextEncoding(kEncodingUTF16); }, 0x8DEF, Units(u"\u8DEF"), kEncodingUTF16},
        {"UTF-16 pair", [] { return NewTextEncoding(kEncodingUTF16); }, 0x1F683, Units(u"\U0001F683"),
         kEncodingUTF16},
        {"UCS-4 as stored", [] { return getTextEncoding(0x0100, 0, 3); }, 0x8DEF, std::string("\xEF\x8D\0\0", 4),
         0x0100},
    };
    for (const Case& c : cases) {
        ObjectHandle e = ObjectHandle::Adopt(c.make());
        StringHandle s = Result(TextEncodingChr(e.Get(), c.codePoint));
        EXPECT_EQ(Bytes(s), c.bytes) << c.what;
        EXPECT_EQ(s.Encoding(), c.encoding) << c.what;
    }
    EXPECT_EQ(TextEncodingChr(nullptr, 65), nullptr);
}

TEST_F(Encodings, EqualsComparesIdentifiers) {
    ObjectHandle a = ObjectHandle::Adopt(NewTextEncoding(kSjis)), b = ObjectHandle::Adopt(getTextEncoding(int32_t(kSjis), 0, 0)), c = ObjectHandle::Adopt(NewTextEncoding(kEuc));
    ObjectHandle utf8 = ObjectHandle::Adopt(NewTextEncoding(kEncodingUTF8)), utf8Parts = ObjectHandle::Adopt(getTextEncoding(0x0100, 0, 2));
    EXPECT_TRUE(TextEncodingEquals(a.Get(), a.Get()));
    EXPECT_TRUE(TextEncodingEquals(a.Get(), b.Get()));
    EXPECT_TRUE(TextEncodingEquals(utf8.Get(), utf8Parts.Get()));
    EXPECT_FALSE(TextEncodingEquals(a.Get(), c.Get()));
    EXPECT_FALSE(TextEncodingEquals(a.Get(), nullptr));
    EXPECT_FALSE(TextEncodingEquals(nullptr, a.Get()));
    EXPECT_TRUE(TextEncodingEquals(nullptr, nullptr));
}

// ---- Shared objects and the string entry points -----------------------------------------------------

TEST_F(Encodings, SharedObjectsAreOnePerIdentifier) {
    int32_t shared = SharedTextEncodingCount();
    ObjectHandle encodings = ObjectHandle::Adopt(GetEncodingsObject());
    ObjectHandle a = ObjectHandle::Adopt(EncodingsGetFromCode(encodings.Get(), kSjis)), b = ObjectHandle::Adopt(EncodingsGetFromCode(encodings.Get(), kSjis));
    EXPECT_EQ(a.Get(), b.Get());
    ObjectHandle s = ObjectHandle::Adopt(StringGetEncoding(Make("\x98\x48", kSjis).Get()));
    EXPECT_EQ(s.Get(), a.Get());
    ObjectHandle ascii = ObjectHandle::Adopt(StringGetEncoding(nullptr));
    ASSERT_TRUE(ascii);
    EXPECT_EQ(EncodingOf(ascii)->code, kEncodingASCII);
    ObjectHandle utf8 = ObjectHandle::Adopt(StringGetEncoding(Utf8("x").Get()));
    ObjectHandle utf8Property = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), kIndexUTF8));
    EXPECT_EQ(utf8.Get(), utf8Property.Get());
    EXPECT_EQ(StringGetEncoding(Make("x", kEncodingUnknown).Get()), nullptr);
    EXPECT_EQ(EncodingsGetFromCode(encodings.Get(), kEncodingUnknown), nullptr);
    EXPECT_EQ(SharedTextEncodingCount(), shared) << "all made before";
    EXPECT_EQ(a.Get()->refCount, 4) << "the map's and our three";
}

TEST_F(Encodings, SetEncodingRetagsInPlaceOnlyWhenNobodyElseSees) {
    ObjectHandle sjis = ObjectHandle::Adopt(NewTextEncoding(kSjis));
    // The caller's reference is the only one: the same record, retagged.
    StringValue* sole = StringMake("ab", 2);
    StringValue* out = StringSetEncoding(sole, sjis.Get());
    EXPECT_EQ(out, sole);
    EXPECT_EQ(sole->encoding, kSjis);
    RuntimeUnlockString(out);
    RuntimeUnlockString(sole);

    // Shared: a retagged copy, the original untouched.
    StringHandle shared = Make("ab", kEncodingUTF8);
    StringHandle other = shared;
    StringHandle copy = Result(StringSetEncoding(shared.Get(), sjis.Get()));
    EXPECT_NE(copy.Get(), shared.Get());
    EXPECT_EQ(copy.Encoding(), kSjis);
    EXPECT_EQ(Bytes(copy), "ab");
    EXPECT_EQ(shared.Encoding(), kEncodingUTF8);

    // Already tagged so: the string itself.
    EXPECT_EQ(Result(StringSetEncoding(copy.Get(), sjis.Get())).Get(), copy.Get());
    // No encoding: unknown. Nil: nil.
    EXPECT_EQ(Result(StringSetEncoding(shared.Get(), nullptr)).Encoding(), kEncodingUnknown);
    EXPECT_EQ(StringSetEncoding(nullptr, sjis.Get()), nullptr);
    // Into UTF-16: laid out as a UTF-16 record.
    ObjectHandle utf16 = ObjectHandle::Adopt(NewTextEncoding(kEncodingUTF16));
    StringHandle wide = Result(StringSetEncoding(Make(Units(u"ab"), kEncodingUnknown).Get(), utf16.Get()));
    EXPECT_EQ(wide.Encoding(), kEncodingUTF16);
    EXPECT_EQ(wide.Utf16()[0], u'a');
    EXPECT_EQ(wide.Utf16()[2], 0);
}

TEST_F(Encodings, SetEncodingNeverChangesAModuleLiteral) {
    // A literal as the module's data block holds it: one reference nobody
    // gives back, its text right behind the record.
    struct Literal {
        StringValue record;
        uint8_t text[5];
    } literal = {{1, nullptr, 4, 2, kEncodingUTF8}, {2, 'a', 'b', 0, 0}};
    literal.record.text = literal.text;
    ObjectHandle sjis = ObjectHandle::Adopt(NewTextEncoding(kSjis));
    StringHandle out = Result(StringSetEncoding(&literal.record, sjis.Get()));
    EXPECT_NE(out.Get(), &literal.record);
    EXPECT_EQ(Bytes(out), "ab");
    EXPECT_EQ(literal.record.encoding, kEncodingUTF8);
    EXPECT_EQ(literal.record.refCount, 1);
}

TEST_F(Encodings, ConvertEncodingConverts) {
    ObjectHandle utf8 = ObjectHandle::Adopt(NewTextEncoding(kEncodingUTF8)), sjis = ObjectHandle::Adopt(NewTextEncoding(kSjis));
    StringHandle s = Make(kTexts[1].sjis, kSjis);
    StringHandle out = Result(StringConvertEncoding(s.Get(), utf8.Get()));
    EXPECT_EQ(Bytes(out), kTexts[1].utf8);
    EXPECT_EQ(out.Encoding(), kEncodingUTF8);
    EXPECT_EQ(Result(StringConvertEncoding(s.Get(), sjis.Get())).Get(), s.Get());
    EXPECT_EQ(Result(StringConvertEncoding(s.Get(), nullptr)).Get(), s.Get());
    EXPECT_EQ(StringConvertEncoding(nullptr, utf8.Get()), nullptr);
}

// ---- _Encodings -------------------------------------------------------------------------------------------

TEST_F(Encodings, TheEncodingsModuleHas92PropertiesAtTheirIndexes) {
    ClassRecord* cls = ClassNamed("_Encodings");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->instanceSize, kEncodingsSize);
    ASSERT_EQ(cls->propertyCount, 92);
    for (int32_t i = 0; i < 92; ++i) {
        EXPECT_EQ(cls->properties[i].parameter, i + 1);
        EXPECT_EQ(cls->properties[i].getter, reinterpret_cast<void*>(EncodingsGetter));
        EXPECT_EQ(cls->properties[i].setter, nullptr);
    }
    EXPECT_EQ(cls->staticMethodCount, 1);
    EXPECT_EQ(ExportFindForLink("EncodingsGetter"), reinterpret_cast<void*>(EncodingsGetter));
    EXPECT_EQ(ExportFindForLink("GetEncodingsObject"), reinterpret_cast<void*>(GetEncodingsObject));

    struct Case {
        int32_t index;
        const char* name;
        uint32_t base;
    } cases[] = {
        {1, "UTF8", kEncodingUTF8}, {2, "UTF16", 0x0100}, {3, "UCS4", 0x0100}, {4, "MacRoman", 0},
        {11, "MacCyrillic", 7}, {12, "MacDevanagari", 9}, {34, "MacExtArabic", 31}, {35, "MacSymbol", 33},
        {42, "MacGaelic", 40}, {43, "ISOLatin1", 0x0201}, {52, "ISOLatin6", 0x020A}, {53, "ISOLatin7", 0x020D},
        {55, "ISOLatin9", 0x020F}, {56, "DOSLatinUS", 0x0400}, {58, "DOSBalticRim", 0x0406},
        {59, "DOSLatin1", 0x0410}, {72, "DOSThai", 0x041D}, {73, "DOSJapanese", 0x0420},
        {76, "DOSChineseTrad", 0x0423}, {77, "WindowsLatin1", 0x0500}, {78, "WindowsANSI", 0x0500},
        {79, "WindowsLatin2", 0x0501}, {86, "WindowsVietnamese", 0x0508}, {87, "WindowsKoreanJohab", 0x0510},
        {88, "ASCII", kEncodingASCII}, {89, "ShiftJIS", kSjis}, {90, "KOI8_R", 0x0A02},
        {91, "MacRomanLatin1", 0x0A04}, {92, "SystemDefault", SystemEncoding()},
    };
    ObjectHandle encodings = ObjectHandle::Adopt(GetEncodingsObject());
    for (const Case& c : cases) {
        EXPECT_EQ(PropertyName(cls->properties[c.index - 1]), c.name);
        ObjectHandle e = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), c.index));
        ASSERT_TRUE(e) << c.name;
        EXPECT_EQ(uint32_t(EncodingOf(e)->base), c.base) << c.name;
    }
    ObjectHandle ucs4 = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), 3));
    EXPECT_EQ(EncodingOf(ucs4)->format, 3);
    EXPECT_EQ(EncodingsGetter(encodings.Get(), 0), nullptr);
    EXPECT_EQ(EncodingsGetter(encodings.Get(), 93), nullptr);
    EXPECT_EQ(EncodingsGetter(nullptr, -1), nullptr);
}

TEST_F(Encodings, SharedAndNewPropertyObjects) {
    ObjectHandle encodings = ObjectHandle::Adopt(GetEncodingsObject());
    for (int32_t index : {kIndexUTF8, kIndexUTF16, 88}) {
        ObjectHandle a = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), index)), b = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), index));
        EXPECT_EQ(a.Get(), b.Get()) << index;
    }
    ObjectHandle a = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), kIndexShiftJIS)), b = ObjectHandle::Adopt(EncodingsGetter(encodings.Get(), kIndexShiftJIS));
    EXPECT_NE(a.Get(), b.Get()) << "a new object each time";
    EXPECT_EQ(a.Get()->refCount, 1);
}

TEST_F(Encodings, FontEncodingIsTheSystemEncoding) {
    StringHandle name("MS UI Gothic");
    ObjectHandle e = ObjectHandle::Adopt(getFontTextEncoding(name.Get()));
    ASSERT_TRUE(e);
    EXPECT_EQ(EncodingOf(e)->code, SystemEncoding());
    ObjectHandle again = ObjectHandle::Adopt(getFontTextEncoding(nullptr));
    ASSERT_TRUE(again);
    EXPECT_EQ(EncodingOf(again)->code, SystemEncoding()) << "nil repeats the previous answer";
}

// ---- TextConverter ----------------------------------------------------------------------------------------

TEST_F(Encodings, WhichConvertersAreMade) {
    struct Case {
        const char* what;
        ObjectHeader* (*source)();
        ObjectHeader* (*destination)();
        bool made;
    } cases[] = {
        {"Shift_JIS to UTF-8", [] { return NewTextEncoding(kSjis); }, [] { return NewTextEncoding(kEncodingUTF8); },
         true},
        {"Shift_JIS to DOS Japanese", [] { return NewTextEncoding(kSjis); }, [] { return NewTextEncoding(0x0420); },
         true},
        {"KOI8-R to UTF-8", [] { return NewTextEncoding(0x0A02); }, [] { return NewTextEncoding(kEncodingUTF8); },
         false},
        {"KOI8-R to MacRomanLatin1: no code page on either", [] { return NewTextEncoding(0x0A02); },
         [] { return NewTextEncoding(0x0A04); }, false},
        {"EUC-JP to ISO-2022-JP", [] { return NewTextEncoding(kEuc); }, [] { return NewTextEncoding(kIso); }, true},
        {"EUC-JP to UTF-16", [] { return NewTextEncoding(kEuc); }, [] { return NewTextEncoding(kEncodingUTF16); },
         true},
        {"UCS-4 to UTF-8", [] { return getTextEncoding(0x0100, 0, 3); }, [] { return NewTextEncoding(kEncodingUTF8); },
         false},
        {"nil source", [] { return static_cast<ObjectHeader*>(nullptr); }, [] { return NewTextEncoding(kSjis); },
         false},
    };
    for (const Case& c : cases) {
        ObjectHandle source = ObjectHandle::Adopt(c.source()), destination = ObjectHandle::Adopt(c.destination());
        ObjectHandle converter = ObjectHandle::Adopt(getTextConverter(source.Get(), destination.Get()));
        EXPECT_EQ(bool(converter), c.made) << c.what;
    }
    ObjectHandle sjis = ObjectHandle::Adopt(NewTextEncoding(kSjis));
    EXPECT_EQ(getTextConverter(sjis.Get(), nullptr), nullptr);
}

TEST_F(Encodings, TheClassRecordOfTextConverter) {
    ObjectHandle converter = ObjectHandle::Adopt(ConverterByIndex(kIndexShiftJIS, kIndexUTF8));
    ASSERT_TRUE(converter);
    EXPECT_EQ(converter.Get()->classPtr, ClassNamed("TextConverter"));
    EXPECT_EQ(converter.Get()->classPtr->instanceSize, kTextConverterSize);
    EXPECT_EQ(converter.Get()->classPtr->staticMethodCount, 2);
    auto* c = reinterpret_cast<TextConverterObject*>(converter.Get());
    EXPECT_EQ(c->source, kSjis);
    EXPECT_EQ(c->destination, kEncodingUTF8);
    textConverterClear(converter.Get());
    EXPECT_EQ(c->source, kSjis) << "clear does nothing";
    EXPECT_EQ(ExportFindForLink("textConverterConvert"), reinterpret_cast<void*>(textConverterConvert));
}

TEST_F(Encodings, ConverterWithEqualEncodingsRetags) {
    ObjectHandle converter = ObjectHandle::Adopt(ConverterByIndex(kIndexShiftJIS, kIndexDOSJapanese));
    ASSERT_TRUE(converter);
    ObjectHandle same = ObjectHandle::Adopt(ConverterByIndex(kIndexShiftJIS, kIndexShiftJIS));
    StringHandle s = Make("\x98\x48\xFF", kEncodingUnknown);  // 0xFF would not survive transcoding
    StringHandle out = Result(textConverterConvert(same.Get(), s.Get()));
    EXPECT_EQ(Bytes(out), "\x98\x48\xFF");
    EXPECT_EQ(out.Encoding(), kSjis);
    StringHandle tagged = Make("\x98\x48", kSjis);
    EXPECT_EQ(Result(textConverterConvert(same.Get(), tagged.Get())).Get(), tagged.Get());
    // Different encodings of one code page transcode: the result is tagged DOS Japanese.
    StringHandle dos = Result(textConverterConvert(converter.Get(), tagged.Get()));
    EXPECT_EQ(Bytes(dos), "\x98\x48");
    EXPECT_EQ(dos.Encoding(), 0x0420u);
    EXPECT_EQ(textConverterConvert(converter.Get(), nullptr), nullptr);
    EXPECT_EQ(textConverterConvert(nullptr, tagged.Get()), nullptr);
}

TEST_F(Encodings, ConverterFromPartsKeepsTheFullIdentifier) {
    ObjectHandle sjis = ObjectHandle::Adopt(NewTextEncoding(kSjis)), utf8Parts = ObjectHandle::Adopt(getTextEncoding(0x0100, 0, 2));
    ObjectHandle converter = ObjectHandle::Adopt(getTextConverter(sjis.Get(), utf8Parts.Get()));
    StringHandle out = Result(textConverterConvert(converter.Get(), Make(kTexts[0].sjis, kSjis).Get()));
    EXPECT_EQ(Bytes(out), kTexts[0].utf8) << "UTF-8, not UTF-16";
    EXPECT_EQ(out.Encoding(), kEncodingUTF8);
}

TEST_F(Encodings, ConvertersToWideAndJapaneseEncodings) {
    ObjectHandle toWide = ObjectHandle::Adopt(ConverterByIndex(kIndexShiftJIS, kIndexUTF16));
    StringHandle wide = Result(textConverterConvert(toWide.Get(), Make("\x98\x48\x90\xFC", kSjis).Get()));
    EXPECT_EQ(Bytes(wide), Units(u"\u8DEF\u7DDA"));
    EXPECT_EQ(wide.Encoding(), kEncodingUTF16);
    ObjectHandle utf8 = ObjectHandle::Adopt(NewTextEncoding(kEncodingUTF8)), euc = ObjectHandle::Adopt(NewTextEncoding(kEuc));
    ObjectHandle toEuc = ObjectHandle::Adopt(getTextConverter(utf8.Get(), euc.Get()));
    StringHandle asEuc = Result(textConverterConvert(toEuc.Get(), Utf8(kTexts[2].utf8).Get()));
    EXPECT_EQ(Bytes(asEuc), kTexts[2].euc);
    ObjectHandle koi = ObjectHandle::Adopt(NewTextEncoding(0x0A02)), koi2 = ObjectHandle::Adopt(NewTextEncoding(0x0A02));
    ObjectHandle noPage = ObjectHandle::Adopt(getTextConverter(koi.Get(), koi2.Get()));
    EXPECT_FALSE(noPage) << "no code page on either side";
}

// ---- EndOfLine -------------------------------------------------------------------------------------------------

TEST_F(Encodings, EndOfLineObjectServesItsMembers) {
    ObjectHandle eol = ObjectHandle::Adopt(RuntimeGetEndOfLineObject());
    ASSERT_TRUE(eol);
    ClassRecord* cls = eol.Get()->classPtr;
    EXPECT_EQ(cls, ClassNamed("EndOfLine"));
    EXPECT_EQ(cls->instanceSize, 28);
    ASSERT_EQ(cls->propertyCount, 3);
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {{"Macintosh", "\r"}, {"Windows", "\r\n"}, {"UNIX", "\n"}};
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(PropertyName(cls->properties[i]), cases[i].name);
        auto getter = reinterpret_cast<StringValue*(__cdecl*)(ObjectHeader*, int32_t)>(cls->properties[i].getter);
        StringHandle text = Result(getter(eol.Get(), cls->properties[i].parameter));
        EXPECT_EQ(Bytes(text), cases[i].text);
        EXPECT_EQ(text.Encoding(), kEncodingASCII);
    }
    ASSERT_EQ(cls->staticMethodCount, 4);
    const void* const functions[] = {reinterpret_cast<void*>(RuntimeEndOfLine), reinterpret_cast<void*>(RuntimeEndOfLineAdd),
                                     reinterpret_cast<void*>(RuntimeEndOfLineAddRight),
                                     reinterpret_cast<void*>(RuntimeEndOfLineCompare)};
    const char* const names[] = {"Operator_Convert%s%", "Operator_Add%s%", "Operator_AddRight%s%", "Operator_Compare%i%"};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(cls->staticMethods[i].function, functions[i]);
        std::string signature(StringText(cls->staticMethods[i].name), size_t(StringLength(cls->staticMethods[i].name)));
        EXPECT_EQ(signature.rfind(names[i], 0), 0u) << signature;
    }
    StringHandle s = Make("\x98\x48", kSjis);
    EXPECT_EQ(Bytes(Result(RuntimeEndOfLineAddRight(eol.Get(), s.Get()))), "\x98\x48\r\n");
    EXPECT_EQ(Result(RuntimeEndOfLineAddRight(eol.Get(), s.Get())).Encoding(), kSjis);
    EXPECT_EQ(Bytes(Result(RuntimeEndOfLineAdd(eol.Get(), s.Get()))), "\r\n\x98\x48");
    EXPECT_EQ(RuntimeEndOfLineCompare(eol.Get(), Ascii("\r\n").Get()), 0);
    EXPECT_EQ(ExportFindForLink("RuntimeGetEndOfLineObject"), reinterpret_cast<void*>(RuntimeGetEndOfLineObject));
}

TEST_F(Encodings, EachEndOfLineObjectIsNew) {
    ObjectHandle a = ObjectHandle::Adopt(RuntimeGetEndOfLineObject()), b = ObjectHandle::Adopt(RuntimeGetEndOfLineObject());
    EXPECT_NE(a.Get(), b.Get());
    EXPECT_EQ(a.Get()->refCount, 1);
}

}  // namespace
