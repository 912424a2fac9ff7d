// Number text: StringStr, StringVal, the pattern formatter and the locale forms.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orvane/exports.h"
#include "strings/string.h"

namespace {
constexpr int kDigits = 7;  // significant digits of StringStr

StringHandle MakeText(const std::string& text, uint32_t encoding) {
    StringHandle h = StringHandle::Adopt(StringMake(text.data(), int32_t(text.size())));
    h.SetEncoding(encoding);
    return h;
}

// The C conversion of x with a format built from template, e.g. "%%.%df".
std::string Convert(const char* templ, int decimals, double x) {
    char format[16], text[64];
    std::snprintf(format, sizeof format, templ, decimals);
    int n = std::snprintf(text, sizeof text, format, x);
    if (n < 0) return std::string();
    if (size_t(n) < sizeof text) return std::string(text, size_t(n));
    // Large fixed-point values or many decimals: size exactly and convert again.
    std::string out(size_t(n) + 1, '\0');
    std::snprintf(&out[0], out.size(), format, x);
    out.resize(size_t(n));
    return out;
}

// "e+0" loses its 0: 1.5e+05 becomes 1.5e+5; e+10 and e-05 stay.
void DropExponentZero(std::string& d) {
    size_t at = d.find("e+0");
    if (at != std::string::npos) d.erase(at + 2, 1);
}

// Leading blanks go; a minus sign in front of nothing but zeros goes.
void CleanSign(std::string& d) {
    if (!d.empty() && d[0] == ' ') {
        size_t n = d.find_first_not_of(" \t");
        d.erase(0, n == std::string::npos ? d.size() : n);
    }
    if (d.size() > 1 && d[0] == '-' && d.find_first_not_of("0.", 1) == std::string::npos)
        d.erase(0, 1);
}

std::string NumberText(double x) {
    if (x == 0) x = 0;  // -0 becomes +0
    double a = std::fabs(x);
    bool fixed = (a >= 1e-5 && a <= 1e6) || a == 0;
    std::string d;
    int decimals = 0;
    if (fixed) {
        int k = 0;
        for (double v = a; v >= 1; v /= 10) ++k;
        decimals = kDigits - k;
        d = Convert("%%.%df", decimals, x);
    } else {
        d = Convert("%%.%de", kDigits - 1, x);
        DropExponentZero(d);
    }
    CleanSign(d);
    if (fixed && decimals > 0) {
        while (!d.empty() && d.back() == '0') d.pop_back();
        if (!d.empty() && d.back() == '.') d.pop_back();
    }
    return d;
}

// The user's locale separator (at most three characters).
std::string LocaleText(LCTYPE what, const char* fallback) {
    char buffer[4] = {0};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buffer, sizeof buffer) <= 0) return fallback;
    return buffer;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

double ReadNumber(const char* p, int32_t n) {
    if (n >= 2 && p[0] == '&') {
        int radix = 0;
        switch (p[1]) {
        case 'h': case 'H': radix = 16; break;
        case 'o': case 'O': radix = 8; break;
        case 'b': case 'B': radix = 2; break;
        default: return 0;
        }
        uint32_t value = 0;  // wraps like the signed 32-bit accumulator
        for (int32_t i = 2; i < n; ++i) {
            char c = p[i];
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (radix == 16 && c >= 'A' && c <= 'Z') digit = c - 'A' + 10;
            else if (radix == 16 && c >= 'a' && c <= 'z') digit = c - 'a' + 10;
            if (digit < 0 || (radix != 16 && digit >= radix)) continue;  // skipped, not a stop
            value = value * uint32_t(radix) + uint32_t(digit);
        }
        return double(int32_t(value));
    }
    // The record's text ends in a NUL; the C locale reads the full stop.
    return std::strtod(p, nullptr);
}

// ---- Pattern formatting ----------------------------------------------------------

const uint8_t* kScientific = reinterpret_cast<const uint8_t*>("SCIENTIFIC");

bool IsScientific(const std::string& pattern) {
    if (pattern.size() != 10) return false;
    for (size_t i = 0; i < 10; ++i)
        if (kRomanUpper[uint8_t(pattern[i])] != kScientific[i]) return false;
    return true;
}

// Bytes of the character at i: a whole UTF-8 sequence in UTF-8 text.
size_t CharLength(const std::string& s, size_t i, bool utf8) {
    if (!utf8) return 1;
    uint8_t b = uint8_t(s[i]);
    size_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return i + n <= s.size() ? n : s.size() - i;
}

std::string FormatSection(double x, const std::string& section, bool utf8) {
    bool negative = x < 0;
    if (negative) x = -x;

    int32_t integerPlaces = 0, fractionPlaces = 0;
    bool grouping = false, percent = false, exponent = false, inFraction = false;
    for (size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '#' || c == '0') {
            if (exponent) continue;
            (inFraction ? fractionPlaces : integerPlaces) += 1;
        } else if (c == '.') {
            inFraction = true;
        } else if (c == ',') {
            grouping = true;
        } else if (c == '%') {
            percent = true;
        } else if (c == 'E' || c == 'e') {
            exponent = true;
        }
    }
    if (percent) x *= 100;

    std::string d;
    if (exponent) {
        d = Convert("%%.%de", fractionPlaces, x);
        DropExponentZero(d);
    } else {
        d = Convert("%%.%df", fractionPlaces, x);
    }
    CleanSign(d);
    d.erase(0, d.find_first_not_of(' ') == std::string::npos ? d.size() : d.find_first_not_of(' '));

    size_t ePos = d.find('e');
    if (fractionPlaces > 0) {
        if (!exponent || ePos == std::string::npos) {
            while (!d.empty() && d.back() == '0') d.pop_back();
        } else {
            size_t from = ePos;
            while (from > 0 && d[from - 1] == '0') --from;
            d.erase(from, ePos - from);
        }
        ePos = d.find('e');
    }
    bool exponentMode = ePos != std::string::npos;
    int32_t e = exponentMode ? int32_t(ePos) : int32_t(d.size());
    size_t dot = d.find('.');
    int32_t p = dot == std::string::npos || int32_t(dot) > e ? e : int32_t(dot);
    std::string expText = exponentMode ? d.substr(ePos + 1) : std::string();

    const std::string decimal = LocaleText(LOCALE_SDECIMAL, ".");
    const std::string thousands = LocaleText(LOCALE_STHOUSAND, ",");
    std::string out, pending;
    bool fraction = false, anyDigit = false, exponentDone = false;
    int32_t k = 0;
    for (size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        switch (c) {
        case '#':
        case '0': {
            pending.clear();
            int32_t q;
            if (!fraction) {
                if (k == 0 && integerPlaces < p) {
                    // More integer digits than places: the first place takes the excess.
                    if (!exponentDone) {
                        int32_t lead = p - integerPlaces + 1;
                        for (int32_t j = 0; j < lead; ++j) {
                            if (j > 0 && grouping && (p - j) % 3 == 0) out += thousands;
                            out += d[size_t(j)];
                        }
                        anyDigit = true;
                    }
                    ++k;
                    break;
                }
                q = p - (integerPlaces - k);
                if (grouping && anyDigit && (p - q) % 3 == 0) pending = thousands;
            } else {
                q = p + k + 1;
            }
            if (!exponentDone) {
                if (q >= 0 && q < e) {
                    out += pending;
                    out += d[size_t(q)];
                    anyDigit = true;
                } else if (c == '0') {
                    out += pending;
                    out += '0';
                    anyDigit = true;
                }
            }
            ++k;
            break;
        }
        case '.':
            if (!fraction) {
                out += decimal;
                fraction = true;
                k = 0;
            }
            break;
        case '%':
        case '(':
        case ')':
            out += c;
            break;
        case '+':
            if (negative) out += '-';
            else if (x != 0) out += '+';
            break;
        case '-':
            if (negative) out += '-';
            break;
        case 'E':
        case 'e':
            if (!exponentMode) break;
            out += c;
            if (i + 1 < section.size() && section[i + 1] == '+') {
                if (expText.empty() || (expText[0] != '+' && expText[0] != '-')) out += '+';
                out += expText;
                ++i;
            } else if (i + 1 < section.size() && section[i + 1] == '-') {
                out += !expText.empty() && expText[0] == '+' ? expText.substr(1) : expText;
                ++i;
            } else {
                out += expText;
            }
            exponentDone = true;
            break;
        case '\\':
            if (i + 1 < section.size()) {
                size_t n = CharLength(section, i + 1, utf8);
                out.append(section, i + 1, n);
                i += n;
            }
            break;
        default:
            break;
        }
    }
    return out;
}
}  // namespace

extern "C" StringValue* StringStr(double x) {
    return MakeText(NumberText(x), kEncodingASCII).Release();
}

extern "C" double StringVal(StringValue* s) {
    if (!s) return 0;
    StringHandle h = StringHandle::Borrow(s);
    if ((h.Encoding() & 0x100u) && h.Encoding() != kEncodingUTF8) {
        // TODO(converters): unknown-tagged text reads 0 until the converters are installed.
        h = h.ToUtf8();
        if (h.IsEmpty()) return 0;
    }
    return ReadNumber(h.Text(), h.Length());
}

extern "C" StringValue* StringFormat(double x, StringValue* pattern) {
    if (!pattern) return nullptr;
    StringHandle hp = StringHandle::Borrow(pattern);
    std::string text(hp.Text(), size_t(hp.Length()));
    if (IsScientific(text)) text = "-#.000000E+";
    // Sections split at ";" unless escaped.
    std::string sections[3];
    int count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            sections[count] += text.substr(i, 2);
            ++i;
        } else if (text[i] == ';' && count < 2) {
            ++count;
        } else {
            sections[count] += text[i];
        }
    }
    const std::string* section = &sections[0];
    if (x < 0 && count >= 1) section = &sections[1];
    if (x == 0 && count >= 2) section = &sections[2];
    std::string out = FormatSection(x, *section, hp.Encoding() == kEncodingUTF8);
    return MakeText(out, hp.Encoding()).Release();
}

extern "C" StringValue* runCStr(double x) {
    std::string text = NumberText(x);
    ReplaceAll(text, ".", LocaleText(LOCALE_SDECIMAL, "."));
    return MakeText(text, kEncodingASCII).Release();
}

extern "C" double runCDbl(StringValue* s) {
    if (!s) return 0;
    StringHandle h = StringHandle::Borrow(s);
    std::string text(h.Text(), size_t(h.Length()));
    std::string decimal = LocaleText(LOCALE_SDECIMAL, ".");
    ReplaceAll(text, LocaleText(LOCALE_STHOUSAND, ","), "");
    if (decimal != ".") ReplaceAll(text, decimal, ".");
    return ReadNumber(text.c_str(), int32_t(text.size()));
}
