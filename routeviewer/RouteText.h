// Texts and numbers of route files: the module's own field function, the
// keywords, and the reading of numbers so that no value a file can hold
// (NaN, infinities, numbers beyond the 32-bit range) reaches an undefined
// conversion.
#pragma once

#include "orvane/exports.h"
#include "routeviewer/RouteHandles.h"

namespace route {

// The n-th delimiter-separated field of text (1-based), byte-exact; the
// empty text one past the last field. Yields in every search step.
StringValue* GetField(StringValue* text, StringValue* delimiter, int32_t n);

// The largest magnitude a number read from a route keeps: the 32-bit range.
constexpr double kNumberLimit = 2147483647.0;

// NaN is 0; infinities and larger magnitudes saturate at kNumberLimit.
double SaneNumber(double v);
// StringVal of the text as a sane number.
double ReadNumber(StringValue* s);
// Truncated toward zero into the 32-bit range; NaN is 0.
int32_t SaturatedInteger(double v);

// Literals shared by analysis, walk and marks.
StringValue* CommaText();       // ","
StringValue* SemicolonText();   // ";"
StringValue* EndOfLineText();   // CR LF
StringValue* ZeroText();        // "0"
StringValue* CurveKeyword();    // ".curve"
StringValue* PitchKeyword();    // ".pitch"
StringValue* LimitKeyword();    // ".limit"
StringValue* StaKeyword();      // ".sta"
StringValue* FreeObjKeyword();  // ".freeobj"

// The part of line after the first keyword (StringNthField(line, keyword, 2))
// cut at its n-th ";" field; with trim, runTrim'med.
Text NthFieldAfter(StringValue* line, StringValue* keyword, int32_t n, bool trim);
// ReadNumber of NthFieldAfter(line, keyword, n) without trimming.
double NthFieldNumber(StringValue* line, StringValue* keyword, int32_t n);
// The argument of a keyword cut with GetField on the lower-cased line:
// GetField(GetField(GetField(lower, keyword, 2), ",", 1), ";", 1).
Text LowerArgument(StringValue* lower, StringValue* keyword);

// The 1-based position of the first byte c of t at or after from; 0 for none.
int32_t FindByte(const Text& t, uint8_t c, int32_t from);

// The same text as LowerArgument, cut out in one step: from behind the first
// keyword to the next keyword, ",", ";" or the end. The keyword must occur.
Text KeywordArgument(StringValue* lower, StringValue* keyword);

// Whether text contains find (byte-exact); nil finds nothing.
inline bool Contains(StringValue* text, StringValue* find) { return StringInStrB(1, text, find) != 0; }

}  // namespace route
