// The built-in string functions, number text and the math entry points.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "orvane/exports.h"
#include "strings/basicstr.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

namespace {

constexpr uint32_t kShiftJis = 0x0A01;
constexpr uint32_t kLatin1 = 0x0500;
constexpr uint32_t kNoCodePage = 0x0A05;  // not in the code page list

std::u16string Units(const StringHandle& h) {
    return std::u16string(reinterpret_cast<const char16_t*>(h.Text()), size_t(h.Length() / 2));
}
StringHandle Result(StringValue* s) { return StringHandle::Adopt(s); }

// No test may leak a string record.
class StringFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        CurrentCharacterTables();  // tables are process-lifetime, built before counting
        pooledAtStart_ = PoolPooledBytes();
    }
    void TearDown() override { EXPECT_EQ(PoolPooledBytes(), pooledAtStart_) << "pool blocks leaked"; }

private:
    int64_t pooledAtStart_ = 0;
};

// ---- Length and pieces ---------------------------------------------------------

TEST_F(StringFunctions, LenCountsBytes) {
    EXPECT_EQ(StringLen(nullptr), 0);
    EXPECT_EQ(StringLen(Ascii("abc").Get()), 3);
    EXPECT_EQ(StringLen(Utf8("\xC3\xA9").Get()), 2);
    EXPECT_EQ(StringLen(Wide(u"ab").Get()), 4);
}

TEST_F(StringFunctions, MidLeftRightClipAsStated) {
    StringHandle abc = Ascii("abc");
    struct Case {
        int32_t start, count;
        const char* expected;  // null: nil
    } cases[] = {
        {0, 2, "a"}, {3, 5, "c"}, {4, 1, nullptr}, {1, 3, "abc"}, {2, 1, "b"}, {1, 0, nullptr},
        {-5, 7, "a"}, {INT32_MIN, INT32_MAX, nullptr}, {2, INT32_MAX, "bc"}, {1, -1, nullptr},
    };
    for (const Case& c : cases) {
        StringHandle r = Result(StringMid3(abc.Get(), c.start, c.count));
        if (!c.expected) {
            EXPECT_TRUE(r.IsEmpty()) << c.start << "," << c.count;
        } else {
            EXPECT_EQ(Bytes(r), c.expected) << c.start << "," << c.count;
            EXPECT_EQ(r.Encoding(), kEncodingASCII);
        }
    }
    EXPECT_EQ(Result(StringMid3(abc.Get(), 1, 3)).Get(), abc.Get()) << "whole text is s itself";
    EXPECT_EQ(Bytes(Result(StringLeft(abc.Get(), 2))), "ab");
    EXPECT_TRUE(Result(StringLeft(abc.Get(), 0)).IsEmpty());
    EXPECT_EQ(Result(StringLeft(abc.Get(), 9)).Get(), abc.Get());
    EXPECT_EQ(Bytes(Result(StringRight(abc.Get(), 2))), "bc");
    EXPECT_TRUE(Result(StringRight(abc.Get(), -1)).IsEmpty());
    EXPECT_EQ(Bytes(Result(StringMid2(abc.Get(), 2))), "bc");
    EXPECT_EQ(Result(StringMid2(abc.Get(), -3)).Get(), abc.Get());
    EXPECT_TRUE(Result(StringMid2(abc.Get(), 4)).IsEmpty());
}

TEST_F(StringFunctions, AscAndChr) {
    EXPECT_EQ(StringAsc(nullptr), 0);
    EXPECT_EQ(StringAsc(Ascii("\xE9x").Get()), 0xE9);
    struct Case {
        int32_t n;
        std::string bytes;
        uint32_t encoding;
    } cases[] = {
        {65, "A", kEncodingASCII}, {0, std::string(1, '\0'), kEncodingASCII},
        {200, "\xC8", kEncodingUnknown}, {-1, "\xFF", kEncodingUnknown},
        {0x141, "A", kEncodingUnknown},
    };
    for (const Case& c : cases) {
        StringHandle r = Result(StringChr(c.n));
        EXPECT_EQ(Bytes(r), c.bytes) << c.n;
        EXPECT_EQ(r.Encoding(), c.encoding) << c.n;
    }
    StringHandle two = Result(StringDBCSChr(0x82A0));
    EXPECT_EQ(Bytes(two), "\x82\xA0");
    EXPECT_EQ(two.Encoding(), kEncodingUnknown);
    EXPECT_EQ(Bytes(Result(StringDBCSChr(66))), "B");
}

// ---- Byte search ---------------------------------------------------------------

TEST_F(StringFunctions, InStrBFollowsTheStartAndNilRules) {
    StringHandle s = Ascii("abcabc");
    struct Case {
        int32_t start;
        const char* s;
        const char* find;
        int32_t expected;
    } cases[] = {
        {0, "abcabc", "b", 2},   {1, "abcabc", "b", 2},   {3, "abcabc", "b", 5},
        {5, "abcabc", nullptr, 5}, {5, nullptr, "a", 0},  {1, nullptr, nullptr, 0},
        {7, "abcabc", "c", 0},   {1, "abcabc", "cabc", 3}, {4, "abcabc", "cabc", 0},
        {1, "abcabc", "abcabcd", 0}, {-9, "abcabc", "abc", 1}, {1, "aBc", "b", 0},
        {6, "abcabc", "c", 6},
    };
    for (const Case& c : cases) {
        StringHandle hs = c.s ? Ascii(c.s) : StringHandle();
        StringHandle hf = c.find ? Ascii(c.find) : StringHandle();
        EXPECT_EQ(StringInStrB(c.start, hs.Get(), hf.Get()), c.expected)
            << c.start << " " << (c.s ? c.s : "nil") << " " << (c.find ? c.find : "nil");
    }
}

int32_t NaiveInStr(int32_t start, const std::string& s, const std::string& f) {
    size_t from = start > 1 ? size_t(start - 1) : 0;
    if (from >= s.size()) return 0;
    size_t p = s.find(f, from);
    return p == std::string::npos ? 0 : int32_t(p + 1);
}

// Long texts and patterns take the bad-character path; it must agree with a
// plain scan, including matches at the very end and repeated prefixes.
TEST_F(StringFunctions, InStrBBadCharacterPathAgreesWithAPlainScan) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        int32_t n = 90 + int32_t(random() % 200), m = 5 + int32_t(random() % 8);
        std::string s, f;
        const char alphabet = round % 2 ? 2 : 4;  // small alphabets make near misses
        for (int32_t i = 0; i < n; ++i) s += char('a' + random() % alphabet);
        for (int32_t i = 0; i < m; ++i) f += char('a' + random() % alphabet);
        if (round % 5 == 0) s.replace(s.size() - f.size(), f.size(), f);
        int32_t start = int32_t(random() % 5);
        StringHandle hs = Ascii(s), hf = Ascii(f);
        ASSERT_EQ(StringInStrB(start, hs.Get(), hf.Get()), NaiveInStr(start, s, f))
            << s << " / " << f << " from " << start;
    }
    std::string tail(200, 'x');
    tail += "needle";
    EXPECT_EQ(StringInStrB(1, Ascii(tail).Get(), Ascii("needle").Get()), 201);
    EXPECT_EQ(StringInStrB(1, Ascii(tail).Get(), Ascii("needlf").Get()), 0);
    std::string bytes(100, '\xFF');
    bytes += std::string("\x00\x80\xFE\x01\x02", 5);
    EXPECT_EQ(StringInStrB(1, Ascii(bytes).Get(), Ascii(std::string("\x00\x80\xFE\x01\x02", 5)).Get()), 101);
}

// ---- Fields --------------------------------------------------------------------

TEST_F(StringFunctions, CountAndNthFieldOnByteText) {
    struct Case {
        const char* s;
        const char* delimiter;
        int32_t count;
        std::vector<const char*> fields;  // fields 1.., then one past the last (nil)
    } cases[] = {
        {"a,,b", ",", 3, {"a", nullptr, "b", nullptr}},
        {"a,b,", ",", 3, {"a", "b", nullptr, nullptr}},
        {",a", ",", 2, {nullptr, "a", nullptr}},
        {"a,b", ",", 2, {"a", "b", nullptr}},
        {"abc", ",", 1, {"abc", nullptr}},
        {"1xx2XX3", "xx", 3, {"1", "2", "3", nullptr}},
        {"aXbxc", "x", 3, {"a", "b", "c", nullptr}},
        {"a::b::::c", "::", 4, {"a", "b", nullptr, "c", nullptr}},
        {"a b  c", " ", 4, {"a", "b", nullptr, "c", nullptr}},
    };
    for (const Case& c : cases) {
        StringHandle s = Ascii(c.s), d = Ascii(c.delimiter);
        EXPECT_EQ(StringCountFields(s.Get(), d.Get()), c.count) << c.s;
        for (size_t i = 0; i < c.fields.size(); ++i) {
            StringHandle f = Result(StringNthField(s.Get(), d.Get(), int32_t(i + 1)));
            if (!c.fields[i]) {
                EXPECT_TRUE(f.IsEmpty()) << c.s << " field " << i + 1;
            } else {
                EXPECT_EQ(Bytes(f), c.fields[i]) << c.s << " field " << i + 1;
                EXPECT_EQ(f.Encoding(), kEncodingASCII);
            }
        }
    }
    StringHandle ab = Ascii("a,b"), comma = Ascii(",");
    EXPECT_EQ(StringCountFields(nullptr, comma.Get()), 0);
    EXPECT_EQ(StringCountFields(ab.Get(), nullptr), 1);
    EXPECT_TRUE(Result(StringNthField(ab.Get(), comma.Get(), 0)).IsEmpty());
    EXPECT_TRUE(Result(StringNthField(ab.Get(), comma.Get(), -1)).IsEmpty());
    EXPECT_TRUE(Result(StringNthField(ab.Get(), nullptr, 1)).IsEmpty());
    EXPECT_TRUE(Result(StringNthField(nullptr, comma.Get(), 1)).IsEmpty());
    StringHandle whole = Ascii("abc");
    EXPECT_EQ(Result(StringNthField(whole.Get(), comma.Get(), 1)).Get(), whole.Get());
}

TEST_F(StringFunctions, FieldsOfUtf8AndUtf16Text) {
    // A UTF-8 line split by an ASCII delimiter keeps UTF-8 fields.
    StringHandle line = Utf8("\xE6\x9D\xB1,\xC3\xA9,x");
    StringHandle comma = Ascii(",");
    EXPECT_EQ(StringCountFields(line.Get(), comma.Get()), 3);
    StringHandle second = Result(StringNthField(line.Get(), comma.Get(), 2));
    EXPECT_EQ(Bytes(second), "\xC3\xA9");
    EXPECT_EQ(second.Encoding(), kEncodingUTF8);
    // Case-insensitive through the Unicode table for UTF-16: e-acute splits at E-acute.
    StringHandle wide = Wide(u"a\u00E9b\u00C9c");
    StringHandle sep = Wide(u"\u00E9");
    EXPECT_EQ(StringCountFields(wide.Get(), sep.Get()), 3);
    EXPECT_EQ(Units(Result(StringNthField(wide.Get(), sep.Get(), 3))), u"c");
    // An ASCII delimiter is widened for UTF-16 text.
    StringHandle wideLine = Wide(u"one;two");
    EXPECT_EQ(StringCountFields(wideLine.Get(), Ascii(";").Get()), 2);
    StringHandle two = Result(StringNthField(wideLine.Get(), Ascii(";").Get(), 2));
    EXPECT_EQ(Units(two), u"two");
    EXPECT_EQ(two.Encoding(), kEncodingUTF16);
}

TEST_F(StringFunctions, FieldsOfShiftJisTextKeepDoubleByteCharactersWhole) {
    ASSERT_TRUE(SelectCharacterTables(kShiftJis)) << "code page 932 has lead bytes";
    // 0x83 0x5C is one character whose trail byte is a backslash.
    StringHandle s = Make("\x83\x5C" "a\\b", kShiftJis);
    StringHandle backslash = Make("\\", kShiftJis);
    EXPECT_EQ(StringCountFields(s.Get(), backslash.Get()), 2);
    EXPECT_EQ(Bytes(Result(StringNthField(s.Get(), backslash.Get(), 1))), "\x83\x5C" "a");
    EXPECT_EQ(Bytes(Result(StringNthField(s.Get(), backslash.Get(), 2))), "b");
    EXPECT_EQ(StringDBCSAsc(s.Get()), 0x835C);
}

// Many fields: asking for the last must stay linear in the line length.
TEST_F(StringFunctions, NthFieldOfALongLine) {
    std::string line;
    for (int i = 0; i < 20000; ++i) line += std::to_string(i) + ",";
    line += "end";
    StringHandle s = Ascii(line), comma = Ascii(",");
    EXPECT_EQ(StringCountFields(s.Get(), comma.Get()), 20001);
    EXPECT_EQ(Bytes(Result(StringNthField(s.Get(), comma.Get(), 20001))), "end");
    EXPECT_EQ(Bytes(Result(StringNthField(s.Get(), comma.Get(), 12345))), "12344");
}

// ---- Trimming ------------------------------------------------------------------

TEST_F(StringFunctions, TrimDropsPlatformWhiteSpace) {
    struct Case {
        std::string s;
        const char* left;  // null: nil
        const char* right;
        const char* both;
    } cases[] = {
        {"  ab  ", "ab  ", "  ab", "ab"},
        {"   ", nullptr, nullptr, nullptr},
        {"\t\n\v\f\r x\r\n", "x\r\n", "\t\n\v\f\r x", "x"},
        {"a b", "a b", "a b", "a b"},
    };
    for (const Case& c : cases) {
        StringHandle s = Ascii(c.s);
        StringHandle l = Result(runLTrim(s.Get())), r = Result(runRTrim(s.Get())),
                     b = Result(runTrim(s.Get()));
        if (c.left) EXPECT_EQ(Bytes(l), c.left); else EXPECT_TRUE(l.IsEmpty()) << c.s;
        if (c.right) EXPECT_EQ(Bytes(r), c.right); else EXPECT_TRUE(r.IsEmpty()) << c.s;
        if (c.both) EXPECT_EQ(Bytes(b), c.both); else EXPECT_TRUE(b.IsEmpty()) << c.s;
    }
    EXPECT_TRUE(Result(runTrim(nullptr)).IsEmpty());
    StringHandle clean = Ascii("x");
    EXPECT_EQ(Result(runTrim(clean.Get())).Get(), clean.Get());
    StringHandle u = Utf8("  \xC3\xA9 ");
    StringHandle tu = Result(runTrim(u.Get()));
    EXPECT_EQ(Bytes(tu), "\xC3\xA9");
    EXPECT_EQ(tu.Encoding(), kEncodingUTF8);
    StringHandle agrave = Utf8("\xC3\xA0 ");
    EXPECT_EQ(Bytes(Result(runTrim(agrave.Get()))), "\xC3\xA0") << "a sequence byte is no space";
    StringHandle w = Result(runTrim(Wide(u" \u00E9x\t").Get()));
    EXPECT_EQ(Units(w), u"\u00E9x");
    EXPECT_EQ(w.Encoding(), kEncodingUTF16);
    StringHandle unknown = Result(runLTrim(Make(" q", kEncodingUnknown).Get()));
    EXPECT_EQ(Bytes(unknown), "q");
    EXPECT_EQ(unknown.Encoding(), kEncodingUnknown);
    StringHandle sjis = Result(runTrim(Make(" \x82\xA0 ", kShiftJis).Get()));
    EXPECT_EQ(Bytes(sjis), "\x82\xA0");
    EXPECT_EQ(sjis.Encoding(), kShiftJis);
}

// ---- Case ----------------------------------------------------------------------

TEST_F(StringFunctions, LCaseAndUCaseByEncoding) {
    struct Case {
        StringHandle s;
        std::string lower, upper;
        uint32_t encoding;
    } cases[] = {
        {Ascii("AbC1"), "abc1", "ABC1", kEncodingASCII},
        {Utf8("\xE2\x84\xAA"), "k", "\xE2\x84\xAA", kEncodingUTF8},  // Kelvin sign
        {Utf8("\xC3\x89t\xC3\xA9"), "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", kEncodingUTF8},
        {Utf8("\xF0\x9F\x98\x80Z"), "\xF0\x9F\x98\x80z", "\xF0\x9F\x98\x80Z", kEncodingUTF8},
        {Make("X\xC9", kLatin1), "x\xE9", "X\xC9", kLatin1},
    };
    for (const Case& c : cases) {
        StringHandle l = Result(StringLCase(c.s.Get())), u = Result(StringUCase(c.s.Get()));
        EXPECT_EQ(Bytes(l), c.lower) << Bytes(c.s);
        EXPECT_EQ(Bytes(u), c.upper) << Bytes(c.s);
        EXPECT_EQ(l.Encoding(), c.encoding);
    }
    StringHandle w = Wide(u"A\u00C9z");
    EXPECT_EQ(Units(Result(StringLCase(w.Get()))), u"a\u00E9z");
    EXPECT_EQ(Units(Result(StringUCase(w.Get()))), u"A\u00C9Z");
    EXPECT_TRUE(Result(StringLCase(nullptr)).IsEmpty());
    StringHandle lower = Ascii("abc");
    EXPECT_EQ(Result(StringLCase(lower.Get())).Get(), lower.Get()) << "unchanged text is s itself";
}

// ---- Replacement and first character -------------------------------------------

TEST_F(StringFunctions, ReplaceBAndReplaceAllB) {
    struct Case {
        const char *s, *find, *replacement, *first, *all;  // null: nil
    } cases[] = {
        {"aXbX", "X", nullptr, "abX", "ab"},
        {"aXbX", "X", "yy", "ayybX", "ayybyy"},
        {"aaaa", "aa", "b", "baa", "bb"},
        {"abc", "z", "q", "abc", "abc"},
        {"X", "X", nullptr, nullptr, nullptr},
        {"abc", nullptr, "q", "abc", "abc"},
        {"aBc", "b", "q", "aBc", "aBc"},
    };
    for (const Case& c : cases) {
        StringHandle s = Ascii(c.s), f = c.find ? Ascii(c.find) : StringHandle(),
                     r = c.replacement ? Ascii(c.replacement) : StringHandle();
        StringHandle one = Result(StringReplaceB(s.Get(), f.Get(), r.Get()));
        StringHandle all = Result(StringReplaceAllB(s.Get(), f.Get(), r.Get()));
        if (c.first) EXPECT_EQ(Bytes(one), c.first); else EXPECT_TRUE(one.IsEmpty()) << c.s;
        if (c.all) EXPECT_EQ(Bytes(all), c.all); else EXPECT_TRUE(all.IsEmpty()) << c.s;
    }
    EXPECT_TRUE(Result(StringReplaceB(nullptr, Ascii("a").Get(), nullptr)).IsEmpty());
    StringHandle u = Utf8("\xC3\xA9-x");
    StringHandle r = Result(StringReplaceB(u.Get(), Ascii("-").Get(), Ascii("+").Get()));
    EXPECT_EQ(Bytes(r), "\xC3\xA9+x");
    EXPECT_EQ(r.Encoding(), kEncodingUTF8);
}

TEST_F(StringFunctions, DBCSAscByEncoding) {
    struct Case {
        StringHandle s;
        int32_t code;
    } cases[] = {
        {StringHandle(), 0},
        {Ascii("A"), 65},
        {Utf8("\xE6\x9D\xB1"), 0x6771},
        {Utf8("\xF0\x9F\x98\x80"), 0x1F600},
        {Wide(u"\u6771x"), 0x6771},
        {Make("\x82\xA0", kShiftJis), 0x82A0},
        {Make("\x82", kShiftJis), 0x82},
        {Make("a\x82", kShiftJis), 'a'},
        {Make("\xE9", kLatin1), 0xE9},
        {Make("\x82\xA0", kNoCodePage), 0x82},
    };
    for (const Case& c : cases) EXPECT_EQ(StringDBCSAsc(c.s.Get()), c.code) << Bytes(c.s);
}

// ---- Character tables ----------------------------------------------------------

TEST_F(StringFunctions, CodePagesOfEncodings) {
    struct Case {
        uint32_t encoding, codePage;
    } cases[] = {
        {0, 10000}, {7, 10007}, {35, 10081}, {37, 10079}, {kEncodingUTF8, 65001},
        {kEncodingUTF16, 1200}, {0x04000100, 65000}, {0x0206, 708}, {0x0400, 437},
        {0x0410, 850}, {0x041D, 874}, {0x0420, 932}, {0x0423, 950}, {0x0500, 1252},
        {0x0501, 1250}, {0x0508, 1258}, {0x0510, 1361}, {0x0600, 1252}, {0x0631, 936},
        {0x0820, 900001}, {0x0920, 900000}, {0x0A01, 932}, {0x0C02, 37}, {0xFFFF, 1252},
        {0x0203, 0}, {0x0A02, 0}, {0x0C00, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(EncodingCodePage(c.encoding), c.codePage) << c.encoding;
    EXPECT_TRUE(EncodingIsUsable(0x0920));
    EXPECT_FALSE(EncodingIsUsable(kNoCodePage));
}

TEST_F(StringFunctions, SelectingTablesReportsDoubleByteEncodings) {
    EXPECT_TRUE(SelectCharacterTables(kShiftJis));
    const CharacterTables* sjis = &CurrentCharacterTables();
    EXPECT_EQ(sjis->lead[0x82], 1);
    EXPECT_EQ(sjis->lead[0x41], 0);
    EXPECT_EQ(sjis->upper['a'], 0) << "case tables stay zero for double-byte encodings";
    // Without a code page nothing is selected and the previous tables stay.
    EXPECT_FALSE(SelectCharacterTables(kNoCodePage));
    EXPECT_EQ(&CurrentCharacterTables(), sjis);
    EXPECT_FALSE(SelectCharacterTables(kEncodingASCII));
    const CharacterTables& ascii = CurrentCharacterTables();
    EXPECT_EQ(ascii.upper['a'], 'A');
    EXPECT_EQ(ascii.lower['Q'], 'q');
    for (int b : {9, 10, 11, 12, 13, 32}) EXPECT_EQ(ascii.cls[b] & 1, 1) << b;
    for (int b : {0, int('a'), int('0'), int('_')}) EXPECT_EQ(ascii.cls[b] & 1, 0) << b;
    EXPECT_FALSE(SelectCharacterTables(kEncodingUnknown));
}

// ---- Number text ---------------------------------------------------------------

TEST_F(StringFunctions, StrGivesSevenSignificantDigits) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        {0, "0"}, {-0.0, "0"}, {0.5, "0.5"}, {123.456, "123.456"}, {1e6, "1000000"},
        {1234567.8, "1.234568e+6"}, {0.000001, "1.000000e-06"}, {-2.5, "-2.5"},
        {1e20, "1.000000e+20"}, {1e-5, "0.00001"}, {5, "5"}, {-1, "-1"},
        {3.14159265, "3.141593"}, {999999.96, "1000000"}, {999999.94, "999999.9"}, {1e7, "1.000000e+7"},
        {-1e100, "-1.000000e+100"}, {1e-300, "1.000000e-300"}, {100, "100"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const Case& c : cases) {
        StringHandle r = Result(StringStr(c.x));
        EXPECT_EQ(Bytes(r), c.text) << c.x;
        EXPECT_EQ(r.Encoding(), kEncodingASCII);
    }
    EXPECT_NE(Bytes(Result(StringStr(std::nan("")))).find("nan"), std::string::npos);
}

TEST_F(StringFunctions, ValReadsRadixPrefixesAndCNumbers) {
    struct Case {
        const char* s;
        double value;
    } cases[] = {
        {"  12.5abc", 12.5}, {"&hFF", 255}, {"&h1G", 32}, {"&x1", 0}, {"1,5", 1},
        {"&HFFFFFFFF", -1}, {"&h100000000", 0}, {"&o17", 15}, {"&O19", 1}, {"&b1012", 5},
        {"&B1 1", 3}, {"&h", 0}, {"&", 0}, {"-3e2x", -300}, {"+.5", 0.5}, {"abc", 0},
        {"1e", 1}, {"\t7", 7}, {"1.5E-1", 0.15}, {"&hzz", 35 * 16 + 35},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(StringVal(Ascii(c.s).Get()), c.value) << c.s;
    EXPECT_EQ(StringVal(nullptr), 0);
    EXPECT_TRUE(std::isinf(StringVal(Ascii("inf").Get())));
    EXPECT_TRUE(std::isnan(StringVal(Ascii("nan").Get())));
    EXPECT_DOUBLE_EQ(StringVal(Utf8("2.25").Get()), 2.25);
    EXPECT_DOUBLE_EQ(StringVal(Wide(u"&h10").Get()), 16) << "UTF-16 is read as UTF-8";
    // Unknown-tagged text goes through the converters first; without them it reads 0.
    StringHandle unknown = Make("42", kEncodingUnknown);
    EXPECT_EQ(StringVal(unknown.Get()), 0);
    SetStringConverter([](StringValue* s, uint32_t target) -> StringValue* {
        StringHandle copy = StringHandle::Adopt(StringMake(s->text + 1, s->length));
        copy.SetEncoding(target);
        return copy.Release();
    });
    EXPECT_EQ(StringVal(unknown.Get()), 42);
    SetStringConverter(nullptr);
}

std::string LocaleSeparator(LCTYPE what) {
    char buffer[4] = {0};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buffer, sizeof buffer);
    return buffer;
}

// Expected texts are written with "." and ","; the locale's own separators stand in.
std::string Localized(const std::string& text) {
    std::string decimal = LocaleSeparator(LOCALE_SDECIMAL), thousands = LocaleSeparator(LOCALE_STHOUSAND);
    std::string out;
    for (char c : text) out += c == '.' ? decimal : c == ',' ? thousands : std::string(1, c);
    return out;
}

TEST_F(StringFunctions, FormatFollowsThePatternLanguage) {
    struct Case {
        double x;
        const char* pattern;
        const char* text;  // in "." and "," separators; null: nil
    } cases[] = {
        {1234567, "#,###", "1,234,567"},
        {1.5, "#.00", "1.50"},
        {5, "#.##", "5."},
        {0.25, "0%", "25%"},
        {-5, "#;(#)", "(5)"},
        {150000, "0.0E+", "1.5E+5"},
        {12.5, ".##", ".5"},
        {5, "0,000", "0,005"},
        {1234, "#", "1234"},
        {-1234.5, "-#,##0.00", "-1,234.50"},
        {-5, "#", "5"},
        {-5, "+#", "-5"},
        {5, "+#", "+5"},
        {0, "+#", "0"},
        {0, "#;(#);-\\!", "!"},
        {0, "#e", "0e+0"},  // an unescaped e is the exponent
        {0, "#;(#);\\z\\e\\r\\o", "zero"},
        {0, "#;(#)", "0"},
        {3, "#\\;#", ";3"},
        {12345.678, "#.#", "12345.7"},
        {0.000123, "0.00E-", "1.23E-04"},
        {123456, "0.00e+", "1.23e+5"},
        {1e-10, "#.0E+", "1.0E-10"},
        {1e-10, "#.#E-", "1.E-10"},
        {1234.5, "Scientific", "1.234500E+3"},
        {-1234.5, "scientific", "-1.234500E+3"},
        {42, "$#", "42"},
        {42, "\\$#", "$42"},
        {7, "000", "007"},
        {1.25, "0.0.0", "1.25"},
        {0.5, "%0", "%50"},
        {99.5, "#", "100"},
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {100, "#,#", "100"},
        {1000, "#,#", "1,000"},
        {5, "", nullptr},
    };
    for (const Case& c : cases) {
        StringHandle pattern = Ascii(c.pattern);
        StringHandle r = Result(StringFormat(c.x, pattern.Get()));
        if (!c.text) {
            EXPECT_TRUE(r.IsEmpty()) << c.pattern;
            continue;
        }
        EXPECT_EQ(Bytes(r), Localized(c.text)) << c.x << " with " << c.pattern;
        EXPECT_EQ(r.Encoding(), kEncodingASCII);
    }
    EXPECT_TRUE(Result(StringFormat(5, nullptr)).IsEmpty());
    StringHandle big = Result(StringFormat(1e300, Ascii("0." + std::string(300, '0')).Get()));
    EXPECT_EQ(big.Length(), 301 + int32_t(Localized(".").size()) + 300)
        << "long digit texts are not cut";
    StringHandle utf8 = Result(StringFormat(5, Utf8("#\\\xC3\xA9").Get()));
    EXPECT_EQ(Bytes(utf8), "5\xC3\xA9") << "an escaped UTF-8 character stays whole";
    EXPECT_EQ(utf8.Encoding(), kEncodingUTF8);
}

TEST_F(StringFunctions, LocaleFormsUseTheUserSeparators) {
    std::string decimal = LocaleSeparator(LOCALE_SDECIMAL), thousands = LocaleSeparator(LOCALE_STHOUSAND);
    EXPECT_EQ(Bytes(Result(runCStr(2.5))), "2" + decimal + "5");
    EXPECT_EQ(Bytes(Result(runCStr(7))), "7");
    EXPECT_DOUBLE_EQ(runCDbl(Ascii("1" + thousands + "234" + decimal + "5").Get()), 1234.5);
    EXPECT_EQ(runCDbl(nullptr), 0);
}

// ---- Math ----------------------------------------------------------------------

TEST_F(StringFunctions, MathFunctionsAndTheirDomains) {
    const double pi = 3.14159265358979323846, nan = std::nan("");
    struct Case {
        const char* name;
        double value, expected;  // expected NaN: not-a-number
    } cases[] = {
        {"Sin(pi/2)", RuntimeSin(pi / 2), 1},
        {"Cos(0)", RuntimeCos(0), 1},
        {"Cos(pi)", RuntimeCos(pi), -1},
        {"Tan(pi/4)", RuntimeTan(pi / 4), 1},
        {"ASin(1)", RuntimeASin(1), pi / 2},
        {"ASin(-0.5)", RuntimeASin(-0.5), -pi / 6},
        {"ASin(2)", RuntimeASin(2), nan},
        {"ACos(1)", RuntimeACos(1), 0},
        {"ACos(-1)", RuntimeACos(-1), pi},
        {"ACos(0.5)", RuntimeACos(0.5), pi / 3},
        {"ACos(1.5)", RuntimeACos(1.5), nan},
        {"ACos(-1.5)", RuntimeACos(-1.5), nan},
        {"ATan(1)", RuntimeATan(1), pi / 4},
        {"ATan2(1,-1)", RuntimeATan2(1, -1), 3 * pi / 4},
        {"Exp(1)", RuntimeExp(1), 2.718281828459045},
        {"Log(e)", RuntimeLog(2.718281828459045), 1},
        {"Log(-1)", RuntimeLog(-1), nan},
        {"Pow(2,0.5)", RuntimePow(2, 0.5), std::sqrt(2.0)},
        {"Pow(2,10)", RuntimePow(2, 10), 1024},
        {"Pow(-8,1/3)", RuntimePow(-8, 1.0 / 3), nan},
        {"Pow(-2,3)", RuntimePow(-2, 3), -8},
        {"Pow(-2,2)", RuntimePow(-2, 2), 4},
        {"Pow(-2,-1)", RuntimePow(-2, -1), -0.5},
        {"Pow(0,0)", RuntimePow(0, 0), nan},
        {"Pow(0,2)", RuntimePow(0, 2), 0},
        {"Pow(0,-1)", RuntimePow(0, -1), std::numeric_limits<double>::infinity()},
        {"Sqrt(16)", RuntimeSqrt(16), 4},
        {"Sqrt(-1)", RuntimeSqrt(-1), nan},
        {"Ceil(1.2)", RuntimeCeil(1.2), 2},
        {"Ceil(-1.2)", RuntimeCeil(-1.2), -1},
        {"Floor(-0.5)", RuntimeFloor(-0.5), -1},
        {"Floor(2.7)", RuntimeFloor(2.7), 2},
        {"Round(2.5)", RuntimeRound(2.5), 3},
        {"Round(-2.5)", RuntimeRound(-2.5), -2},
        {"Round(-0.5)", RuntimeRound(-0.5), 0},
        {"Abs(-3)", RuntimeAbs(-3), 3},
        {"Abs(nan)", RuntimeAbs(nan), nan},
        {"Max(1,2)", RuntimeMax(1, 2), 2},
        {"Max(1,nan)", RuntimeMax(1, nan), nan},
        {"Max(nan,1)", RuntimeMax(nan, 1), 1},
        {"Min(1,2)", RuntimeMin(1, 2), 1},
        {"Min(nan,1)", RuntimeMin(nan, 1), 1},
    };
    for (const Case& c : cases) {
        if (std::isnan(c.expected)) EXPECT_TRUE(std::isnan(c.value)) << c.name << " = " << c.value;
        else if (std::isinf(c.expected)) EXPECT_EQ(c.value, c.expected) << c.name;
        else EXPECT_NEAR(c.value, c.expected, 1e-12 * (1 + std::fabs(c.expected))) << c.name;
    }
    EXPECT_LE(std::fabs(RuntimeSin(1e22)), 1.0) << "huge arguments are reduced first";
    EXPECT_TRUE(std::signbit(RuntimeCeil(-0.5))) << "Ceil(-0.5) is -0";
    EXPECT_TRUE(std::signbit(RuntimeAbs(-0.0))) << "-0 stays -0";
    struct SignCase {
        double x;
        int32_t sign;
    } signs[] = {{-2, -1}, {3, 1}, {0, 0}, {-0.0, 0}, {nan, 0}};
    for (const SignCase& c : signs) EXPECT_EQ(RuntimeSign(c.x), c.sign) << c.x;
    EXPECT_EQ(BitwiseAnd(0x0F0F, 0x00FF), 0x000F);
    EXPECT_EQ(BitwiseOr(0x0F00, 0x00F0), 0x0FF0);
    EXPECT_EQ(BitwiseXor(-1, 0x0F), int32_t(0xFFFFFFF0));
}

// ---- Counting characters and case-insensitive forms --------------------------------

TEST_F(StringFunctions, DBCSFamilyCountsCharacters) {
    struct Case {
        StringHandle s;
        int32_t length;
        std::string left2, right2, mid2From2, mid3From2Count2;
    } cases[] = {
        {Ascii("abcd"), 4, "ab", "cd", "bcd", "bc"},
        {Utf8("\xC3\xA9x\xE6\x9D\xB1y"), 4, "\xC3\xA9x", "\xE6\x9D\xB1y", "x\xE6\x9D\xB1y", "x\xE6\x9D\xB1"},
        {Make("\x82\xA0" "a\x83\x5C" "b", kShiftJis), 4, "\x82\xA0" "a", "\x83\x5C" "b",
         "a\x83\x5C" "b", "a\x83\x5C"},
    };
    for (const Case& c : cases) {
        const std::string name = Bytes(c.s);
        EXPECT_EQ(StringDBCSLen(c.s.Get()), c.length) << name;
        EXPECT_EQ(Bytes(Result(StringDBCSLeft(c.s.Get(), 2))), c.left2) << name;
        EXPECT_EQ(Bytes(Result(StringDBCSRight(c.s.Get(), 2))), c.right2) << name;
        EXPECT_EQ(Bytes(Result(StringDBCSMid2(c.s.Get(), 2))), c.mid2From2) << name;
        EXPECT_EQ(Bytes(Result(StringDBCSMid3(c.s.Get(), 2, 2))), c.mid3From2Count2) << name;
        EXPECT_EQ(Result(StringDBCSLeft(c.s.Get(), 9)).Get(), c.s.Get());
        EXPECT_EQ(Result(StringDBCSRight(c.s.Get(), 4)).Get(), c.s.Get());
        EXPECT_TRUE(Result(StringDBCSLeft(c.s.Get(), 0)).IsEmpty());
        EXPECT_TRUE(Result(StringDBCSMid3(c.s.Get(), 5, 1)).IsEmpty());
        EXPECT_EQ(Bytes(Result(StringDBCSMid3(c.s.Get(), 0, 2))), Bytes(Result(StringDBCSLeft(c.s.Get(), 1))));
    }
    StringHandle w = Wide(u"abc");
    EXPECT_EQ(StringDBCSLen(w.Get()), 3);
    EXPECT_EQ(Units(Result(StringDBCSMid3(w.Get(), 2, 1))), u"b");
    EXPECT_EQ(StringDBCSLen(nullptr), 0);
}

TEST_F(StringFunctions, InStrIgnoresCaseAndCountsUtf8Characters) {
    struct Case {
        int32_t start;
        StringHandle s, find;
        int32_t expected;
    } cases[] = {
        {1, Ascii("abcABC"), Ascii("Bc"), 2},
        {3, Ascii("abcABC"), Ascii("bC"), 5},
        {7, Ascii("abcABC"), Ascii("c"), 0},
        {1, Ascii("abc"), StringHandle(), 1},
        {4, StringHandle(), Ascii("a"), 0},
        {1, Utf8("\xC3\xA9\xC3\xA9xY"), Ascii("y"), 4},
        {2, Utf8("\xE6\x9D\xB1x\xE6\x9D\xB1x"), Ascii("X"), 2},
        {3, Utf8("\xE6\x9D\xB1x\xE6\x9D\xB1x"), Ascii("X"), 4},
        {1, Wide(u"ab\u00E9"), Wide(u"\u00C9"), 3},
        {1, Make("\x82\x61" "a", kShiftJis), Make("A", kShiftJis), 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StringInStr(c.start, c.s.Get(), c.find.Get()), c.expected) << Bytes(c.s) << " " << c.start;
        EXPECT_EQ(StringDBCSInStr(c.start, c.s.Get(), c.find.Get()), c.expected) << Bytes(c.s);
    }
}

TEST_F(StringFunctions, ReplaceAndReplaceAllIgnoreCase) {
    struct Case {
        const char *s, *find, *replacement, *first, *all;
    } cases[] = {
        {"aXbx", "x", "-", "a-bx", "a-b-"},
        {"AAAA", "aa", "b", "bAA", "bb"},
        {"abc", "Z", "q", "abc", "abc"},
        {"xX", "X", nullptr, "X", nullptr},
    };
    for (const Case& c : cases) {
        StringHandle s = Ascii(c.s), f = Ascii(c.find),
                     r = c.replacement ? Ascii(c.replacement) : StringHandle();
        StringHandle one = Result(StringReplace(s.Get(), f.Get(), r.Get()));
        StringHandle all = Result(StringReplaceAll(s.Get(), f.Get(), r.Get()));
        if (c.first) EXPECT_EQ(Bytes(one), c.first); else EXPECT_TRUE(one.IsEmpty()) << c.s;
        if (c.all) EXPECT_EQ(Bytes(all), c.all); else EXPECT_TRUE(all.IsEmpty()) << c.s;
    }
    StringHandle w = Result(StringReplaceAll(Wide(u"a-A").Get(), Ascii("a").Get(), Ascii("bb").Get()));
    EXPECT_EQ(Units(w), u"bb-bb");
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "ab";
    EXPECT_EQ(StringLen(Result(StringReplaceAll(Ascii(many).Get(), Ascii("B").Get(), Ascii("cc").Get())).Get()),
              60000);
}

TEST_F(StringFunctions, TitleCaseAndCompare) {
    struct Case {
        StringHandle s;
        std::string title;
    } cases[] = {
        {Ascii("hello wORLD\tx-y"), "Hello World\tX-y"},
        {Utf8("\xC3\xA9t\xC3\x89 \xC3\xA9"), "\xC3\x89t\xC3\xA9 \xC3\x89"},
        {Make("\x82\xA0" "ab c", kShiftJis), "\x82\xA0" "ab C"},
    };
    for (const Case& c : cases) EXPECT_EQ(Bytes(Result(StringTitleCase(c.s.Get()))), c.title) << Bytes(c.s);
    EXPECT_EQ(Units(Result(StringTitleCase(Wide(u"aB cD").Get()))), u"Ab Cd");
    EXPECT_TRUE(Result(StringTitleCase(nullptr)).IsEmpty());

    struct CompareCase {
        StringHandle a, b;
        int32_t mode, result;
    } compares[] = {
        {Ascii("a"), Ascii("B"), 0, 1},      {Ascii("abc"), Ascii("abc"), 1, 0},
        {Ascii("abc"), Ascii("abd"), 1, -1}, {StringHandle(), Ascii("a"), 1, -1},
        {Utf8("\xC3\xA9"), Utf8("\xC3\x89"), 1, 1}, {Utf8("a"), Utf8("ab"), 1, -1},
        {Wide(u"b"), Wide(u"a"), 1, 1},      {Ascii("x"), StringHandle(), 0, 1},
    };
    for (const CompareCase& c : compares)
        EXPECT_EQ(StringStrCompare(c.a.Get(), c.b.Get(), c.mode), c.result) << Bytes(c.a) << " " << Bytes(c.b);
}

TEST_F(StringFunctions, CommandLineIsText) {
    StringHandle line = Result(SystemGetCommandLine());
    EXPECT_FALSE(line.IsEmpty());
    EXPECT_NE(Bytes(line).find("strings_functions_test"), std::string::npos) << Bytes(line);
}

TEST(StringFunctionsEndOfLine, PropertiesAndOperators) {
    // The constants are made once for the process, so they are made before counting.
    StringHandle::Adopt(getMacEndOfLine(nullptr));
    StringHandle::Adopt(getWin32EndOfLine(nullptr));
    StringHandle::Adopt(getUNIXEndOfLine(nullptr));
    StringHandle::Adopt(RuntimeEndOfLine(nullptr));
    int64_t pooled = PoolPooledBytes();
    {
        struct Case {
            StringHandle value;
            const char* text;
        } cases[] = {
            {Result(getMacEndOfLine(nullptr)), "\r"},
            {Result(getWin32EndOfLine(nullptr)), "\r\n"},
            {Result(getUNIXEndOfLine(nullptr)), "\n"},
            {Result(RuntimeEndOfLine(nullptr)), "\r\n"},
            {Result(RuntimeEndOfLineAdd(nullptr, Ascii("x").Get())), "\r\nx"},
            {Result(RuntimeEndOfLineAddRight(nullptr, Ascii("x").Get())), "x\r\n"},
            {Result(RuntimeEndOfLineAddRight(nullptr, nullptr)), "\r\n"},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(Bytes(c.value), c.text);
            EXPECT_EQ(c.value.Encoding(), kEncodingASCII);
        }
        EXPECT_EQ(RuntimeEndOfLineCompare(nullptr, Ascii("\r\n").Get()), 0);
        EXPECT_EQ(RuntimeEndOfLineCompare(nullptr, Ascii("\n").Get()), 1);
        EXPECT_EQ(RuntimeEndOfLineCompare(nullptr, Ascii("\r\nx").Get()), -1);
        EXPECT_EQ(RuntimeEndOfLineCompare(nullptr, nullptr), 1);
    }
    EXPECT_EQ(PoolPooledBytes(), pooled);
}

}  // namespace
