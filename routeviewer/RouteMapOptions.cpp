#include "routeviewer/RouteMapOptions.h"

#include "orvane/literal.h"
#include "routeviewer/BmpWriter.h"

namespace route {

namespace {

ORVANE_ASCII_LITERAL(kZeroText, "0");
ORVANE_ASCII_LITERAL(kSize, "--size");
ORVANE_ASCII_LITERAL(kScale, "--scale");
ORVANE_ASCII_LITERAL(kStart, "--start");
ORVANE_ASCII_LITERAL(kAngle, "--angle");
ORVANE_ASCII_LITERAL(kNoCurve, "--no-curve");
ORVANE_ASCII_LITERAL(kNoPitch, "--no-pitch");
ORVANE_ASCII_LITERAL(kNoLimit, "--no-limit");
ORVANE_ASCII_LITERAL(kNoSta, "--no-sta");
ORVANE_ASCII_LITERAL(kFreeObj, "--freeobj");
ORVANE_ASCII_LITERAL(kProfile, "--profile");
ORVANE_ASCII_LITERAL(kReport, "--report");
ORVANE_ASCII_LITERAL(kHelp, "--help");
ORVANE_LITERAL(kTooMany, "too many arguments");
ORVANE_LITERAL(kUnknown, "unknown option: ");
ORVANE_LITERAL(kNeedsValue, "a value is missing after ");
ORVANE_LITERAL(kBadSize, "--size wants WIDTHxHEIGHT, each 1 to 8192, not: ");
ORVANE_LITERAL(kBadScale, "--scale wants an integer from -200 to 50, not: ");
ORVANE_LITERAL(kBadNumber, "a number is wanted, not: ");
ORVANE_LITERAL(kMissingPaths, "a route file and an output image are needed");
ORVANE_LITERAL(kExtra, "one route file and one output image only; unexpected: ");
ORVANE_LITERAL(kEmptyPath, "an empty path was given");

// Byte-exact equality through the runtime (literal records are read by the
// runtime only).
bool Same(StringValue* a, StringValue* b) {
    return a && b && StringLen(a) == StringLen(b) && StringInStrB(1, a, b) == 1;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// [+-]digits, within limits; the value in *out.
bool ParseInteger(const uint8_t* b, int32_t n, int32_t low, int32_t high, int32_t* out) {
    int32_t i = 0;
    bool negative = false;
    if (i < n && (b[i] == '+' || b[i] == '-')) negative = b[i++] == '-';
    if (i == n) return false;
    int32_t v = 0;
    for (; i < n; ++i) {
        if (!IsDigit(b[i])) return false;
        v = v * 10 + (b[i] - '0');
        if (v > 100000) return false;
    }
    v = negative ? -v : v;
    if (v < low || v > high) return false;
    *out = v;
    return true;
}

// [+-]digits[.digits][e[+-]digits], as the viewer's fields would read it.
bool IsNumber(StringValue* s) {
    if (!s) return false;
    const uint8_t* b = s->text + 1;
    const int32_t n = s->length;
    int32_t i = 0, digits = 0;
    if (i < n && (b[i] == '+' || b[i] == '-')) ++i;
    while (i < n && IsDigit(b[i])) ++i, ++digits;
    if (i < n && b[i] == '.')
        for (++i; i < n && IsDigit(b[i]); ++i) ++digits;
    if (!digits) return false;
    if (i < n && (b[i] == 'e' || b[i] == 'E')) {
        ++i;
        if (i < n && (b[i] == '+' || b[i] == '-')) ++i;
        if (i == n || !IsDigit(b[i])) return false;
        while (i < n && IsDigit(b[i])) ++i;
    }
    return i == n;
}

bool ParseSize(StringValue* s, int32_t* w, int32_t* h) {
    if (!s) return false;
    const uint8_t* b = s->text + 1;
    for (int32_t x = 0; x < s->length; ++x)
        if (b[x] == 'x' || b[x] == 'X')
            return ParseInteger(b, x, 1, kBmpMaxSide, w) &&
                   ParseInteger(b + x + 1, s->length - x - 1, 1, kBmpMaxSide, h);
    return false;
}

bool Refuse(Text* problem, StringValue* a, StringValue* b = nullptr) {
    *problem = Join(a, b);
    return false;
}

}  // namespace

bool ParseMapOptions(const CommandArguments& args, MapOptions* o, Text* problem) {
    if (args.Count() >= CommandArguments::kMaxArguments) return Refuse(problem, ORVANE_STR(kTooMany));
    o->walk.startDistanceText = ORVANE_STR(kZeroText);
    o->walk.startDirectionText = ORVANE_STR(kZeroText);
    int32_t paths = 0;
    for (int32_t i = 0; i < args.Count(); ++i) {
        StringValue* a = args.At(i);
        if (Same(a, ORVANE_STR(kHelp))) {
            o->help = true;
            return true;
        }
        const bool option = a && a->length >= 2 && a->text[1] == '-' && a->text[2] == '-';
        if (!option) {
            if (!a) return Refuse(problem, ORVANE_STR(kEmptyPath));
            if (paths == 2) return Refuse(problem, ORVANE_STR(kExtra), a);
            (paths++ == 0 ? o->routePath : o->imagePath) = a;
            continue;
        }
        if (Same(a, ORVANE_STR(kNoCurve))) { o->walk.curve = false; continue; }
        if (Same(a, ORVANE_STR(kNoPitch))) { o->walk.pitch = false; continue; }
        if (Same(a, ORVANE_STR(kNoLimit))) { o->walk.limit = false; continue; }
        if (Same(a, ORVANE_STR(kNoSta))) { o->walk.sta = false; continue; }
        if (Same(a, ORVANE_STR(kFreeObj))) { o->walk.freeObj = true; continue; }
        if (Same(a, ORVANE_STR(kReport))) { o->report = true; continue; }
        const bool takesValue = Same(a, ORVANE_STR(kSize)) || Same(a, ORVANE_STR(kScale)) ||
                                Same(a, ORVANE_STR(kStart)) || Same(a, ORVANE_STR(kAngle)) ||
                                Same(a, ORVANE_STR(kProfile));
        if (!takesValue) return Refuse(problem, ORVANE_STR(kUnknown), a);
        if (i + 1 >= args.Count()) return Refuse(problem, ORVANE_STR(kNeedsValue), a);
        StringValue* v = args.At(++i);
        if (Same(a, ORVANE_STR(kSize))) {
            if (!ParseSize(v, &o->width, &o->height)) return Refuse(problem, ORVANE_STR(kBadSize), v);
        } else if (Same(a, ORVANE_STR(kScale))) {
            if (!v || !ParseInteger(v->text + 1, v->length, -200, 50, &o->walk.scaleValue))
                return Refuse(problem, ORVANE_STR(kBadScale), v);
        } else if (Same(a, ORVANE_STR(kProfile))) {
            if (!v) return Refuse(problem, ORVANE_STR(kEmptyPath));
            o->profilePath = v;
        } else {
            if (!IsNumber(v)) return Refuse(problem, ORVANE_STR(kBadNumber), v);
            (Same(a, ORVANE_STR(kStart)) ? o->walk.startDistanceText : o->walk.startDirectionText) = v;
        }
    }
    if (paths < 2) return Refuse(problem, ORVANE_STR(kMissingPaths));
    o->walk.startX = 50;
    o->walk.startY = (o->height + kWindowExtraHeight) / 2;
    return true;
}

}  // namespace route
