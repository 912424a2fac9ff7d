#include "routeviewer/RouteText.h"

#include "orvane/literal.h"

namespace route {

namespace {
ORVANE_ASCII_LITERAL(kComma, ",");
ORVANE_ASCII_LITERAL(kSemicolon, ";");
ORVANE_ASCII_LITERAL(kEndOfLine, "\r\n");
ORVANE_ASCII_LITERAL(kZero, "0");
ORVANE_ASCII_LITERAL(kCurve, ".curve");
ORVANE_ASCII_LITERAL(kPitch, ".pitch");
ORVANE_ASCII_LITERAL(kLimit, ".limit");
ORVANE_ASCII_LITERAL(kSta, ".sta");
ORVANE_ASCII_LITERAL(kFreeObj, ".freeobj");
}  // namespace

StringValue* CommaText() { return ORVANE_STR(kComma); }
StringValue* SemicolonText() { return ORVANE_STR(kSemicolon); }
StringValue* EndOfLineText() { return ORVANE_STR(kEndOfLine); }
StringValue* ZeroText() { return ORVANE_STR(kZero); }
StringValue* CurveKeyword() { return ORVANE_STR(kCurve); }
StringValue* PitchKeyword() { return ORVANE_STR(kPitch); }
StringValue* LimitKeyword() { return ORVANE_STR(kLimit); }
StringValue* StaKeyword() { return ORVANE_STR(kSta); }
StringValue* FreeObjKeyword() { return ORVANE_STR(kFreeObj); }

StringValue* GetField(StringValue* text, StringValue* delimiter, int32_t n) {
    Text t = Join(text, delimiter);
    const int32_t l = StringLen(delimiter);
    int32_t p = -l;
    for (int32_t i = 1; i < n; ++i) {
        p = StringInStrB(p + l, t.Get(), delimiter);
        RuntimeBackgroundTask();
    }
    const int32_t q = StringInStrB(p + l, t.Get(), delimiter);
    return StringMid3(t.Get(), p + l, q - p - l);
}

int32_t FindByte(const Text& t, uint8_t c, int32_t from) {
    const uint8_t* b = t.Bytes();
    for (int32_t i = from < 1 ? 1 : from; i <= t.Length(); ++i)
        if (b[i - 1] == c) return i;
    return 0;
}

double SaneNumber(double v) {
    if (v != v) return 0;
    if (v > kNumberLimit) return kNumberLimit;
    if (v < -kNumberLimit) return -kNumberLimit;
    return v;
}

double ReadNumber(StringValue* s) { return SaneNumber(StringVal(s)); }

int32_t SaturatedInteger(double v) {
    if (v != v) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return int32_t(v);
}

Text NthFieldAfter(StringValue* line, StringValue* keyword, int32_t n, bool trim) {
    Text after = Text::Adopt(StringNthField(line, keyword, 2));
    Text field = Text::Adopt(StringNthField(after.Get(), SemicolonText(), n));
    return trim ? Text::Adopt(runTrim(field.Get())) : field;
}

double NthFieldNumber(StringValue* line, StringValue* keyword, int32_t n) {
    return ReadNumber(NthFieldAfter(line, keyword, n, false).Get());
}

Text LowerArgument(StringValue* lower, StringValue* keyword) {
    Text a = Text::Adopt(GetField(lower, keyword, 2));
    Text b = Text::Adopt(GetField(a.Get(), CommaText(), 1));
    return Text::Adopt(GetField(b.Get(), SemicolonText(), 1));
}

Text KeywordArgument(StringValue* lower, StringValue* keyword) {
    Text t = Text::Borrow(lower);
    const int32_t l = StringLen(keyword);
    const int32_t from = StringInStrB(1, lower, keyword) + l;
    const int32_t next = StringInStrB(from, lower, keyword);
    int32_t end = next ? next : t.Length() + 1;
    const int32_t comma = FindByte(t, ',', from), semicolon = FindByte(t, ';', from);
    if (comma && comma < end) end = comma;
    if (semicolon && semicolon < end) end = semicolon;
    return Text::Adopt(StringMid3(lower, from, end - from));
}

}  // namespace route
