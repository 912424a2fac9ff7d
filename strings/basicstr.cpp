// The built-in string functions: length, pieces, searches, fields, trimming,
// case and byte replacement, over the per-encoding character tables.
#include "strings/basicstr.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>

#include "orvane/exports.h"
#include "startup/SystemVersion.h"

namespace {
const uint8_t* BytesOf(const StringHandle& h) { return reinterpret_cast<const uint8_t*>(h.Text()); }


// ---- Character tables ----------------------------------------------------------

std::mutex gTablesLock;  // guards the map only; the current block is unlocked by design
std::map<uint32_t, CharacterTables*>* gTables = nullptr;
const CharacterTables* gCurrent = nullptr;

bool IsUnicodeCodePage(uint32_t cp) { return cp == 65001 || cp == 1200 || cp == 65000; }
bool IsPseudoCodePage(uint32_t cp) { return cp == 900000 || cp == 900001; }

// EUC-JP has no platform code page: its two-byte characters start with a
// byte 0xA1-0xFE, its half-width katakana with 0x8E.
void SetEucJpLeadBytes(CharacterTables& t) {
    t.lead[0x8E] = 1;
    for (int b = 0xA1; b <= 0xFE; ++b) t.lead[b] = 1;
    t.doubleByte = 1;
}

CharacterTables* BuildTables(uint32_t cp) {
    CharacterTables* t = new CharacterTables;
    std::memset(t, 0, sizeof *t);
    if (cp == 900000)
        SetEucJpLeadBytes(*t);
    else if (!IsUnicodeCodePage(cp))
        for (int b = 0; b < 256; ++b)
            if (IsDBCSLeadByteEx(cp, BYTE(b))) t->lead[b] = 1, t->doubleByte = 1;
    if (t->doubleByte) return t;
    char up[256], low[256];
    for (int b = 0; b < 256; ++b) up[b] = low[b] = char(b);
    CharUpperBuffA(up, 256);
    CharLowerBuffA(low, 256);
    // In UTF-8 a byte from 0x80 up is part of a sequence, never a letter or a
    // space of its own (0xA0 would otherwise trim the tail of U+00E0).
    int limit = cp == 65001 ? 0x80 : 256;
    for (int b = limit; b < 256; ++b) up[b] = low[b] = char(b);
    for (int b = 0; b < 256; ++b) {
        t->upper[b] = uint8_t(up[b]);
        t->lower[b] = uint8_t(low[b]);
        if (b >= limit) continue;
        char c = char(b);
        WORD type = 0;
        if (GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, &c, 1, &type) &&
            (type & (C1_SPACE | C1_BLANK)))
            t->cls[b] = 1;
    }
    return t;
}

// ---- Searches ------------------------------------------------------------------

// The bad-character skip table: process-wide, like the current tables.
int32_t gSkip[256];

uint16_t Unit(const uint8_t* p, int32_t i) { return uint16_t(p[2 * i] | p[2 * i + 1] << 8); }

int32_t CharBytes(const CharacterTables& t, const uint8_t* p, const uint8_t* end) {
    return t.lead[*p] && p + 1 < end ? 2 : 1;
}

uint8_t PlatformUpper(uint8_t b) {
    char c = char(b);
    CharUpperBuffA(&c, 1);
    return uint8_t(c);
}

enum class Match { kExact, kUpperTable, kUtf16Upper, kDbcs };

// First match of f at or after from, or -1. Offsets are bytes, 16-bit units
// for kUtf16Upper; for kDbcs from must be a character boundary.
int32_t Find(const uint8_t* s, int32_t n, const uint8_t* f, int32_t m, int32_t from, Match mode) {
    if (m <= 0) return from;
    switch (mode) {
    case Match::kExact:
        return InStrBytes(from + 1, s, n, f, m) - 1;
    case Match::kUpperTable: {
        const uint8_t* up = CurrentCharacterTables().upper;
        uint8_t first = up[f[0]];
        for (int32_t i = from; i <= n - m; ++i) {
            if (up[s[i]] != first) continue;
            int32_t j = 1;
            while (j < m && up[s[i + j]] == up[f[j]]) ++j;
            if (j == m) return i;
        }
        return -1;
    }
    case Match::kUtf16Upper: {
        int32_t nu = n / 2, mu = m / 2;
        if (mu == 0) return from;
        for (int32_t i = from; i <= nu - mu; ++i) {
            int32_t j = 0;
            while (j < mu && UnicodeToUpper(Unit(s, i + j)) == UnicodeToUpper(Unit(f, j))) ++j;
            if (j == mu) return i;
        }
        return -1;
    }
    case Match::kDbcs: {
        const CharacterTables& t = CurrentCharacterTables();
        const uint8_t *end = s + n, *fend = f + m;
        for (const uint8_t* p = s + from; p < end; p += CharBytes(t, p, end)) {
            const uint8_t *a = p, *b = f;
            while (a < end && b < fend) {
                int32_t la = CharBytes(t, a, end), lb = CharBytes(t, b, fend);
                if (la != lb) break;
                if (la == 2 ? (a[0] != b[0] || a[1] != b[1]) : PlatformUpper(*a) != PlatformUpper(*b))
                    break;
                a += la;
                b += lb;
            }
            if (b == fend) return int32_t(p - s);
        }
        return -1;
    }
    }
    return -1;
}

// d in s's encoding: UTF-8 and ASCII meet without conversion, UTF-16 through
// the handle, anything else through the converters (unchanged when they refuse).
StringHandle ConvertTo(const StringHandle& d, uint32_t target) {
    uint32_t e = d.Encoding();
    if (d.IsEmpty() || e == target) return d;
    StringHandle out;
    if (target == kEncodingUTF16 && (e == kEncodingASCII || e == kEncodingUTF8)) {
        StringHandle u = d;
        u.SetEncoding(kEncodingUTF8);
        out = u.ToUtf16();
    } else if (target == kEncodingUTF8 && e == kEncodingASCII) {
        out = d;
        out.SetEncoding(kEncodingUTF8);
    } else if (target == kEncodingUTF8 && e == kEncodingUTF16) {
        out = d.ToUtf8();
    } else {
        out = StringHandle::Adopt(StringConvert(d.Get(), target));
    }
    return out.IsEmpty() ? d : out;
}

// The search mode for s's encoding (selects its tables).
Match CaseInsensitiveMode(uint32_t encoding) {
    if (encoding == kEncodingUTF16) return Match::kUtf16Upper;
    return SelectCharacterTables(encoding) ? Match::kDbcs : Match::kUpperTable;
}

bool HasLetters(const StringHandle& d) {
    const uint8_t *p = BytesOf(d), *end = p + d.Length();
    if (d.Encoding() == kEncodingUTF8) {
        while (p < end) {
            uint32_t cp = Utf8Next(p, end);
            if (cp <= 0xFFFF && (UnicodeToUpper(uint16_t(cp)) != cp || UnicodeToLower(uint16_t(cp)) != cp))
                return true;
        }
        return false;
    }
    const CharacterTables& t = CurrentCharacterTables();
    for (; p < end; ++p)
        if (t.upper[*p] != t.lower[*p]) return true;
    return false;
}

// ---- Trimming ------------------------------------------------------------------

bool IsDbcsSpace(const uint8_t* p, int32_t n) {
    WORD types[2] = {0, 0};
    if (!GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, reinterpret_cast<const char*>(p), n, types))
        return false;
    return (types[0] & C1_SPACE) != 0;
}

StringHandle TrimBytes(const StringHandle& s, bool left, bool right) {
    if (s.IsEmpty()) return s;
    if (s.Encoding() == kEncodingUTF16) {
        StringHandle t = TrimBytes(s.ToUtf8(), left, right);
        return t.ToUtf16();
    }
    const uint8_t *p = BytesOf(s), *end = p + s.Length();
    int32_t start = 0, stop = s.Length();
    if (SelectCharacterTables(s.Encoding())) {
        const CharacterTables& t = CurrentCharacterTables();
        // Characters are found walking forward; the end of the last non-space one is kept.
        bool leading = left;
        int32_t lastEnd = 0;
        for (const uint8_t* q = p; q < end;) {
            int32_t k = CharBytes(t, q, end);
            bool space = IsDbcsSpace(q, k);
            if (leading && space) {
                start = int32_t(q + k - p);
            } else {
                leading = false;
                if (!space) lastEnd = int32_t(q + k - p);
            }
            q += k;
        }
        if (right) stop = lastEnd > start ? lastEnd : start;
    } else {
        const uint8_t* cls = CurrentCharacterTables().cls;
        if (left)
            while (start < stop && (cls[p[start]] & 1)) ++start;
        if (right)
            while (stop > start && (cls[p[stop - 1]] & 1)) --stop;
    }
    return s.Sub(start, stop - start);
}

// A fresh record of n bytes tagged encoding, writable through WritableByte.
StringHandle NewText(int32_t n, uint32_t encoding) {
    if (encoding == kEncodingUTF16) return StringHandle::Adopt(StringMakeUtf16(nullptr, n / 2));
    StringHandle h = StringHandle::Adopt(StringMake(nullptr, n));
    h.SetEncoding(encoding);
    return h;
}

StringHandle LowerOrUpper(const StringHandle& s, bool lower) {
    if (s.IsEmpty()) return s;
    const uint8_t *p = BytesOf(s), *end = p + s.Length();
    if (s.Encoding() == kEncodingUTF8) {
        auto map = [lower](uint32_t cp) {
            if (cp > 0xFFFF) return cp;
            return uint32_t(lower ? UnicodeToLower(uint16_t(cp)) : UnicodeToUpper(uint16_t(cp)));
        };
        int32_t size = 0;
        bool changed = false;
        for (const uint8_t* q = p; q < end;) {
            uint32_t cp = Utf8Next(q, end), mapped = map(cp);
            changed |= mapped != cp;
            size += Utf8Put(mapped, nullptr);
        }
        if (!changed && size == s.Length()) return s;
        StringHandle out = NewText(size, kEncodingUTF8);
        if (out.IsEmpty()) return out;
        uint8_t* w = out.WritableByte(0);
        for (const uint8_t* q = p; q < end;) w += Utf8Put(map(Utf8Next(q, end)), w);
        return out;
    }
    StringHandle out = NewText(s.Length(), s.Encoding());
    if (out.IsEmpty()) return out;
    uint8_t* w = out.WritableByte(0);
    std::memcpy(w, p, size_t(s.Length()));
    if (s.Encoding() == kEncodingUTF16) {
        for (int32_t i = 0; i < s.Length() / 2; ++i) {
            uint16_t u = Unit(w, i);
            u = lower ? UnicodeToLower(u) : UnicodeToUpper(u);
            w[2 * i] = uint8_t(u);
            w[2 * i + 1] = uint8_t(u >> 8);
        }
    } else if (lower) {
        CharLowerBuffA(reinterpret_cast<char*>(w), DWORD(s.Length()));
    } else {
        CharUpperBuffA(reinterpret_cast<char*>(w), DWORD(s.Length()));
    }
    if (std::memcmp(w, p, size_t(s.Length())) == 0) return s;
    return out;
}
}  // namespace

// ---- Encodings and tables ------------------------------------------------------

uint32_t EncodingCodePage(uint32_t encoding) {
    if (encoding == kEncodingUTF8) return 65001;
    uint32_t base = EncodingBase(encoding);
    if (base <= 7) return 10000 + base;
    switch (base) {
    case 35: return 10081;
    case 37: return 10079;
    case 0x0100:
    case 0x0101:
    case 0x0103: {
        uint32_t f = EncodingFormat(encoding);
        return f == 2 ? 65001 : f == 0 ? 1200 : f == 1 ? 65000 : 0;
    }
    case 0x0206: return 708;
    case 0x0400: return 437;
    case 0x0405: return 737;
    case 0x0406: return 775;
    case 0x0420: return 932;
    case 0x0421: return 936;
    case 0x0422: return 949;
    case 0x0423: return 950;
    case 0x0500: return 1252;
    case 0x0510: return 1361;
    case 0x0600: return 1252;
    case 0x0631: return 936;
    case 0x0820: return 900001;
    case 0x0920: return 900000;
    case 0x0A01: return 932;
    case 0x0C01:
    case 0x0C02: return 37;
    case 0xFFFF: return 1252;
    default: break;
    }
    static const uint16_t kDos[] = {850, 851, 852, 855, 857, 860, 861, 862,
                                    863, 864, 865, 866, 869, 874};
    if (base >= 0x0410 && base <= 0x041D) return kDos[base - 0x0410];
    static const uint16_t kWindows[] = {1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258};
    if (base >= 0x0501 && base <= 0x0508) return kWindows[base - 0x0501];
    return 0;
}

bool EncodingIsUsable(uint32_t encoding) {
    uint32_t cp = EncodingCodePage(encoding);
    if (cp == 0) return false;
    return IsUnicodeCodePage(cp) || IsPseudoCodePage(cp) || IsValidCodePage(cp);
}

uint32_t SystemEncoding() {
    static const uint32_t encoding = [] {
        LANGID lang = GetUserDefaultLangID();
        if (lang == 1028 || lang == 2052 || lang == 3076 || lang == 4100) return 0x0423u;
        if (lang == 1041) return 0x0A01u;
        return 0x0500u;
    }();
    return encoding;
}

bool SelectCharacterTables(uint32_t encoding) {
    if (encoding == kEncodingUnknown) encoding = SystemEncoding();
    uint32_t cp = EncodingCodePage(encoding);
    // ISO-2022-JP shifts between byte sets by escapes: no per-byte table fits it.
    if (!EncodingIsUsable(encoding) || cp == 900001) return false;
    std::lock_guard<std::mutex> lock(gTablesLock);
    if (!gTables) gTables = new std::map<uint32_t, CharacterTables*>;
    CharacterTables*& t = (*gTables)[cp];
    if (!t) t = BuildTables(cp);
    gCurrent = t;
    return t->doubleByte != 0;
}

const CharacterTables& CurrentCharacterTables() {
    if (!gCurrent) SelectCharacterTables(SystemEncoding());
    return *gCurrent;
}

// ---- Byte search and UTF-8 -----------------------------------------------------

int32_t InStrBytes(int32_t start, const uint8_t* s, int32_t n, const uint8_t* f, int32_t m) {
    if (n <= 0) return 0;
    if (m <= 0) return start;
    int32_t i = start > 1 ? start - 1 : 0;
    if (i >= n) return 0;
    int32_t rest = n - i - m;
    if (rest < 0) return 0;
    if (m > 4 && rest > 80) {
        for (int32_t& skip : gSkip) skip = m;
        for (int32_t j = 0; j < m; ++j) gSkip[f[j]] = m - 1 - j;
        const uint8_t* text = s + i;
        int32_t len = n - i;
        // t is the text index under pattern index k; a mismatch moves t by the
        // larger of the bad-character skip and what aligns past the mismatch.
        int32_t t = m - 1, k = m - 1;
        while (t < len) {
            if (text[t] == f[k]) {
                if (k == 0) {
                    int32_t pos = i + t + 1;
                    return pos < n ? pos : 0;
                }
                --t;
                --k;
                continue;
            }
            int32_t skip = gSkip[text[t]], aligned = m - k;
            t += skip > aligned ? skip : aligned;
            k = m - 1;
        }
        return 0;
    }
    for (int32_t q = i; q <= n - m; ++q) {
        if (s[q] != f[0]) continue;
        if (std::memcmp(s + q + 1, f + 1, size_t(m - 1)) == 0) return q + 1;
    }
    return 0;
}

uint32_t Utf8Next(const uint8_t*& p, const uint8_t* end) {
    uint8_t lead = *p++;
    if (lead < 0x80) return lead;
    int extra;
    uint32_t cp;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0Fu;
    } else {
        extra = 3;
        cp = lead & 0x07u;
    }
    for (; extra > 0; --extra) cp = (cp << 6) | (p < end ? *p++ & 0x3Fu : 0u);
    return cp;
}

int32_t Utf8Put(uint32_t cp, uint8_t* out) {
    if (cp < 0x80) {
        if (out) out[0] = uint8_t(cp);
        return 1;
    }
    if (cp < 0x800) {
        if (out) out[0] = uint8_t(0xC0 | cp >> 6), out[1] = uint8_t(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        if (out)
            out[0] = uint8_t(0xE0 | cp >> 12), out[1] = uint8_t(0x80 | (cp >> 6 & 0x3F)),
            out[2] = uint8_t(0x80 | (cp & 0x3F));
        return 3;
    }
    if (out)
        out[0] = uint8_t(0xF0 | (cp >> 18 & 0x07)), out[1] = uint8_t(0x80 | (cp >> 12 & 0x3F)),
        out[2] = uint8_t(0x80 | (cp >> 6 & 0x3F)), out[3] = uint8_t(0x80 | (cp & 0x3F));
    return 4;
}

// ---- Entry points --------------------------------------------------------------

extern "C" int32_t StringLen(StringValue* s) { return StringLength(s); }

extern "C" StringValue* StringMid3(StringValue* s, int32_t start, int32_t count) {
    StringHandle h = StringHandle::Borrow(s);
    int64_t i = int64_t(start) - 1, n = count;
    if (i < 0) {
        n += i;
        i = 0;
    }
    if (i >= h.Length() || n <= 0) return nullptr;
    if (n > h.Length() - i) n = h.Length() - i;
    return h.Sub(int32_t(i), int32_t(n)).Release();
}

extern "C" StringValue* StringLeft(StringValue* s, int32_t n) {
    return StringHandle::Borrow(s).Left(n).Release();
}

extern "C" StringValue* StringRight(StringValue* s, int32_t n) {
    return StringHandle::Borrow(s).Right(n).Release();
}

extern "C" StringValue* StringMid2(StringValue* s, int32_t start) {
    return StringHandle::Borrow(s).From(start > 1 ? start - 1 : 0).Release();
}

extern "C" int32_t StringAsc(StringValue* s) { return s ? s->text[1] : 0; }

extern "C" StringValue* StringChr(int32_t n) {
    uint8_t b = uint8_t(n);
    StringValue* s = StringMake(&b, 1);
    if (s && n >= 0 && n < 128) s->encoding = kEncodingASCII;
    return s;
}

extern "C" StringValue* StringDBCSChr(int32_t n) {
    if (n < 256) return StringChr(n);
    uint8_t b[2] = {uint8_t(n >> 8), uint8_t(n)};
    return StringMake(b, 2);
}

extern "C" int32_t StringInStrB(int32_t start, StringValue* s, StringValue* find) {
    if (!s) return 0;
    if (!find) return start;
    StringHandle hs = StringHandle::Borrow(s), hf = StringHandle::Borrow(find);
    return InStrBytes(start, BytesOf(hs), hs.Length(), BytesOf(hf), hf.Length());
}

extern "C" int32_t StringCountFields(StringValue* s, StringValue* delimiter) {
    if (!s) return 0;
    if (!delimiter) return 1;
    StringHandle hs = StringHandle::Borrow(s);
    StringHandle hd = ConvertTo(StringHandle::Borrow(delimiter), hs.Encoding());
    if (hd.Encoding() != hs.Encoding()) StringCommonEncoding(hs, hd);
    Match mode = CaseInsensitiveMode(hs.Encoding());
    int32_t d = mode == Match::kUtf16Upper ? hd.Length() / 2 : hd.Length();
    if (d <= 0) return 1;
    const uint8_t *p = BytesOf(hs), *f = BytesOf(hd);
    int32_t count = 1;
    for (int32_t at = Find(p, hs.Length(), f, hd.Length(), 0, mode); at >= 0;
         at = Find(p, hs.Length(), f, hd.Length(), at + d, mode))
        ++count;
    return count;
}

extern "C" StringValue* StringNthField(StringValue* s, StringValue* delimiter, int32_t n) {
    if (!s || !delimiter || n <= 0) return nullptr;
    StringHandle hs = StringHandle::Borrow(s);
    StringHandle hd = ConvertTo(StringHandle::Borrow(delimiter), hs.Encoding());
    if (hd.Encoding() != hs.Encoding()) StringCommonEncoding(hs, hd);
    Match mode = CaseInsensitiveMode(hs.Encoding());
    if (mode == Match::kUpperTable && !HasLetters(hd)) mode = Match::kExact;
    // Offsets in 16-bit units for UTF-16 text, bytes otherwise.
    int32_t unit = mode == Match::kUtf16Upper ? 2 : 1;
    int32_t d = hd.Length() / unit, length = hs.Length() / unit;
    if (d <= 0) return nullptr;
    const uint8_t *p = BytesOf(hs), *f = BytesOf(hd);
    int32_t field = 1, fieldStart = 0, end = length;
    int32_t at = Find(p, hs.Length(), f, hd.Length(), 0, mode);
    while (at >= 0) {
        if (field == n) {
            end = at;
            break;
        }
        ++field;
        fieldStart = at + d;
        at = Find(p, hs.Length(), f, hd.Length(), fieldStart, mode);
    }
    if (field != n) return nullptr;
    return hs.Sub(fieldStart * unit, (end - fieldStart) * unit).Release();
}

extern "C" StringValue* runLTrim(StringValue* s) {
    return TrimBytes(StringHandle::Borrow(s), true, false).Release();
}

extern "C" StringValue* runRTrim(StringValue* s) {
    return TrimBytes(StringHandle::Borrow(s), false, true).Release();
}

extern "C" StringValue* runTrim(StringValue* s) {
    return TrimBytes(StringHandle::Borrow(s), true, true).Release();
}

extern "C" StringValue* StringLCase(StringValue* s) {
    return LowerOrUpper(StringHandle::Borrow(s), true).Release();
}

extern "C" StringValue* StringUCase(StringValue* s) {
    return LowerOrUpper(StringHandle::Borrow(s), false).Release();
}

namespace {
// s with the match at byte p..p+m-1 replaced by r, tagged with s's encoding.
StringHandle Splice(const StringHandle& s, int32_t p, int32_t m, const StringHandle& r) {
    int32_t n = s.Length() - m + r.Length();
    if (n <= 0) return StringHandle();
    StringHandle out = NewText(n, s.Encoding());
    if (out.IsEmpty()) return out;
    uint8_t* w = out.WritableByte(0);
    std::memcpy(w, BytesOf(s), size_t(p));
    std::memcpy(w + p, BytesOf(r), size_t(r.Length()));
    std::memcpy(w + p + r.Length(), BytesOf(s) + p + m, size_t(s.Length() - p - m));
    return out;
}
}  // namespace

extern "C" StringValue* StringReplaceB(StringValue* s, StringValue* find, StringValue* replacement) {
    StringHandle hs = StringHandle::Borrow(s);
    if (!s || !find) return hs.Release();
    StringHandle hf = StringHandle::Borrow(find), hr = StringHandle::Borrow(replacement);
    int32_t p = InStrBytes(1, BytesOf(hs), hs.Length(), BytesOf(hf), hf.Length()) - 1;
    if (p < 0) return hs.Release();
    return Splice(hs, p, hf.Length(), hr).Release();
}

extern "C" StringValue* StringReplaceAllB(StringValue* s, StringValue* find, StringValue* replacement) {
    StringHandle hs = StringHandle::Borrow(s);
    if (!s || !find) return hs.Release();
    StringHandle hf = StringHandle::Borrow(find), hr = StringHandle::Borrow(replacement);
    const uint8_t *p = BytesOf(hs), *f = BytesOf(hf), *r = BytesOf(hr);
    int32_t n = hs.Length(), m = hf.Length();
    // One pass to size the result, one to fill it.
    int64_t size = 0;
    int32_t matches = 0;
    for (int32_t at = InStrBytes(1, p, n, f, m) - 1; at >= 0; at = InStrBytes(at + m + 1, p, n, f, m) - 1)
        ++matches;
    if (matches == 0) return hs.Release();
    size = int64_t(n) + int64_t(matches) * (hr.Length() - m);
    if (size <= 0 || size > 0x7FFFFFF0) return nullptr;
    StringHandle out = NewText(int32_t(size), hs.Encoding());
    if (out.IsEmpty()) return nullptr;
    uint8_t* w = out.WritableByte(0);
    int32_t from = 0;
    for (int32_t at = InStrBytes(1, p, n, f, m) - 1; at >= 0; at = InStrBytes(at + m + 1, p, n, f, m) - 1) {
        std::memcpy(w, p + from, size_t(at - from));
        w += at - from;
        std::memcpy(w, r, size_t(hr.Length()));
        w += hr.Length();
        from = at + m;
    }
    std::memcpy(w, p + from, size_t(n - from));
    return out.Release();
}

extern "C" int32_t StringDBCSAsc(StringValue* s) {
    if (!s) return 0;
    StringHandle h = StringHandle::Borrow(s);
    const uint8_t *p = BytesOf(h), *end = p + h.Length();
    if (h.Encoding() == kEncodingUTF8) return int32_t(Utf8Next(p, end));
    if (h.Encoding() == kEncodingUTF16) return h.Length() >= 2 ? Unit(p, 0) : p[0];
    if (h.Length() >= 2 && SelectCharacterTables(h.Encoding()) && CurrentCharacterTables().lead[p[0]])
        return p[0] * 256 + p[1];
    return p[0];
}

// ---- Counting characters -------------------------------------------------------

namespace {
// Walks characters: code points for UTF-8, units for UTF-16, lead-byte pairs
// for double-byte text, bytes otherwise.
class CharWalker {
public:
    explicit CharWalker(const StringHandle& s)
        : p_(BytesOf(s)), n_(s.Length()), utf16_(s.Encoding() == kEncodingUTF16),
          utf8_(s.Encoding() == kEncodingUTF8) {
        if (!utf16_ && !utf8_ && SelectCharacterTables(s.Encoding())) lead_ = CurrentCharacterTables().lead;
    }
    // Byte offset after the character starting at byte offset at.
    int32_t Next(int32_t at) const {
        if (utf16_) return at + 2 <= n_ ? at + 2 : n_;
        if (utf8_) {
            ++at;
            while (at < n_ && (p_[at] & 0xC0) == 0x80) ++at;
            return at;
        }
        if (lead_ && lead_[p_[at]] && at + 1 < n_) return at + 2;
        return at + 1;
    }
    // Byte offset of character index chars (0-based), or the length past the end.
    int32_t OffsetOf(int64_t chars, int32_t from = 0) const {
        if (utf16_) return chars * 2 + from >= n_ ? n_ : int32_t(from + chars * 2);
        int32_t at = from;
        for (; chars > 0 && at < n_; --chars) at = Next(at);
        return at;
    }
    // Characters in bytes [from, to).
    int32_t CountTo(int32_t to, int32_t from = 0) const {
        if (utf16_) return (to - from) / 2;
        int32_t count = 0;
        for (int32_t at = from; at < to; at = Next(at)) ++count;
        return count;
    }
    int32_t Length() const { return n_; }

private:
    const uint8_t* p_;
    int32_t n_;
    bool utf16_, utf8_;
    const uint8_t* lead_ = nullptr;
};

// The case-insensitive search in character positions (bytes for byte text).
int32_t InStrCaseless(int32_t start, StringValue* s, StringValue* find) {
    if (!s) return 0;
    if (!find) return start;
    StringHandle hs = StringHandle::Borrow(s), hf = StringHandle::Borrow(find);
    if (hs.Encoding() != hf.Encoding()) StringCommonEncoding(hs, hf);
    Match mode = CaseInsensitiveMode(hs.Encoding());
    CharWalker walk(hs);
    int32_t from = walk.OffsetOf(start > 1 ? int64_t(start) - 1 : 0);
    if (from >= hs.Length()) return 0;
    int32_t unit = mode == Match::kUtf16Upper ? 2 : 1;
    int32_t at = Find(BytesOf(hs), hs.Length(), BytesOf(hf), hf.Length(), from / unit, mode);
    if (at < 0) return 0;
    return walk.CountTo(at * unit) + 1;
}

// Every (or the first) case-insensitive match of find replaced: one pass to
// size the result, one to fill it.
StringHandle ReplaceCaseless(StringValue* s, StringValue* find, StringValue* replacement, bool all) {
    StringHandle hs = StringHandle::Borrow(s);
    if (!s || !find) return hs;
    StringHandle hf = ConvertTo(StringHandle::Borrow(find), hs.Encoding());
    StringHandle hr = ConvertTo(StringHandle::Borrow(replacement), hs.Encoding());
    Match mode = CaseInsensitiveMode(hs.Encoding());
    int32_t unit = mode == Match::kUtf16Upper ? 2 : 1;
    const uint8_t *p = BytesOf(hs), *f = BytesOf(hf), *r = BytesOf(hr);
    int32_t n = hs.Length(), m = hf.Length();
    if (m / unit == 0) return hs;
    auto next = [&](int32_t from) {
        int32_t at = Find(p, n, f, m, from / unit, mode);
        return at < 0 ? -1 : at * unit;
    };
    int64_t matches = 0;
    for (int32_t at = next(0); at >= 0; at = all ? next(at + m) : -1) ++matches;
    if (matches == 0) return hs;
    int64_t size = n + matches * (hr.Length() - m);
    if (size <= 0 || size > 0x7FFFFFF0) return StringHandle();
    StringHandle out = NewText(int32_t(size), hs.Encoding());
    if (out.IsEmpty()) return out;
    uint8_t* w = out.WritableByte(0);
    int32_t from = 0;
    for (int32_t at = next(0); at >= 0; at = all ? next(at + m) : -1) {
        std::memcpy(w, p + from, size_t(at - from));
        w += at - from;
        std::memcpy(w, r, size_t(hr.Length()));
        w += hr.Length();
        from = at + m;
    }
    std::memcpy(w, p + from, size_t(n - from));
    return out;
}

bool StartsWord(uint32_t previous) { return previous <= 0x20 || previous == 0x7F; }
}  // namespace

extern "C" int32_t StringDBCSLen(StringValue* s) {
    StringHandle h = StringHandle::Borrow(s);
    CharWalker walk(h);
    return walk.CountTo(h.Length());
}

extern "C" StringValue* StringDBCSLeft(StringValue* s, int32_t n) {
    StringHandle h = StringHandle::Borrow(s);
    if (n <= 0) return nullptr;
    return h.Left(CharWalker(h).OffsetOf(n)).Release();
}

extern "C" StringValue* StringDBCSRight(StringValue* s, int32_t n) {
    StringHandle h = StringHandle::Borrow(s);
    if (n <= 0) return nullptr;
    CharWalker walk(h);
    int32_t count = walk.CountTo(h.Length());
    if (n >= count) return h.Release();
    return h.From(walk.OffsetOf(count - n)).Release();
}

extern "C" StringValue* StringDBCSMid2(StringValue* s, int32_t start) {
    StringHandle h = StringHandle::Borrow(s);
    return h.From(CharWalker(h).OffsetOf(start > 1 ? int64_t(start) - 1 : 0)).Release();
}

extern "C" StringValue* StringDBCSMid3(StringValue* s, int32_t start, int32_t count) {
    StringHandle h = StringHandle::Borrow(s);
    int64_t i = int64_t(start) - 1, n = count;
    if (i < 0) {
        n += i;
        i = 0;
    }
    if (n <= 0) return nullptr;
    CharWalker walk(h);
    int32_t from = walk.OffsetOf(i);
    int32_t to = walk.OffsetOf(n, from);
    return h.Sub(from, to - from).Release();
}

extern "C" int32_t StringInStr(int32_t start, StringValue* s, StringValue* find) {
    return InStrCaseless(start, s, find);
}

extern "C" int32_t StringDBCSInStr(int32_t start, StringValue* s, StringValue* find) {
    return InStrCaseless(start, s, find);
}

extern "C" StringValue* StringReplace(StringValue* s, StringValue* find, StringValue* replacement) {
    return ReplaceCaseless(s, find, replacement, false).Release();
}

extern "C" StringValue* StringReplaceAll(StringValue* s, StringValue* find, StringValue* replacement) {
    return ReplaceCaseless(s, find, replacement, true).Release();
}

extern "C" StringValue* StringTitleCase(StringValue* s) {
    StringHandle h = StringHandle::Borrow(s);
    if (h.IsEmpty()) return nullptr;
    const uint8_t *p = BytesOf(h), *end = p + h.Length();
    auto map = [](uint32_t cp, bool upper) {
        if (cp > 0xFFFF) return cp;
        return uint32_t(upper ? UnicodeToUpper(uint16_t(cp)) : UnicodeToLower(uint16_t(cp)));
    };
    if (h.Encoding() == kEncodingUTF8) {
        int32_t size = 0;
        uint32_t previous = ' ';
        for (const uint8_t* q = p; q < end;) {
            uint32_t cp = Utf8Next(q, end);
            size += Utf8Put(map(cp, StartsWord(previous)), nullptr);
            previous = cp;
        }
        StringHandle out = NewText(size, kEncodingUTF8);
        if (out.IsEmpty()) return nullptr;
        uint8_t* w = out.WritableByte(0);
        previous = ' ';
        for (const uint8_t* q = p; q < end;) {
            uint32_t cp = Utf8Next(q, end);
            w += Utf8Put(map(cp, StartsWord(previous)), w);
            previous = cp;
        }
        return out.Release();
    }
    StringHandle out = NewText(h.Length(), h.Encoding());
    if (out.IsEmpty()) return nullptr;
    uint8_t* w = out.WritableByte(0);
    std::memcpy(w, p, size_t(h.Length()));
    if (h.Encoding() == kEncodingUTF16) {
        uint32_t previous = ' ';
        for (int32_t i = 0; i < h.Length() / 2; ++i) {
            uint16_t u = Unit(w, i), m = uint16_t(map(u, StartsWord(previous)));
            w[2 * i] = uint8_t(m);
            w[2 * i + 1] = uint8_t(m >> 8);
            previous = u;
        }
        return out.Release();
    }
    CharWalker walk(h);
    uint32_t previous = ' ';
    for (int32_t at = 0; at < h.Length();) {
        int32_t next = walk.Next(at);
        if (next - at == 1) {
            char c = char(w[at]);
            if (StartsWord(previous)) CharUpperBuffA(&c, 1);
            else CharLowerBuffA(&c, 1);
            previous = p[at];
            w[at] = uint8_t(c);
        } else {
            previous = 0x100;  // a double-byte character is part of a word
        }
        at = next;
    }
    return out.Release();
}

extern "C" int32_t StringStrCompare(StringValue* a, StringValue* b, int32_t mode) {
    StringHandle x = StringHandle::Borrow(a), y = StringHandle::Borrow(b);
    if (mode == 0) return StringCompareBinary(x, y);
    if (a == b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    uint32_t common = StringCommonEncoding(x, y);
    auto sign = [](int64_t d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); };
    if (common == kEncodingUTF8 || common == kEncodingUTF16) {
        const uint8_t *pa = BytesOf(x), *pb = BytesOf(y);
        const uint8_t *ea = pa + x.Length(), *eb = pb + y.Length();
        while (pa < ea && pb < eb) {
            uint32_t ca, cb;
            if (common == kEncodingUTF8) {
                ca = Utf8Next(pa, ea);
                cb = Utf8Next(pb, eb);
            } else {
                ca = Unit(pa, 0), cb = Unit(pb, 0);
                pa += 2, pb += 2;
            }
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        return sign(int64_t(ea - pa) - (eb - pb));
    }
    int r = CompareStringA(LOCALE_USER_DEFAULT, 0, x.Text(), x.Length(), y.Text(), y.Length());
    if (r == CSTR_LESS_THAN) return -1;
    if (r == CSTR_GREATER_THAN) return 1;
    if (r == 0) return StringCompareBinary(x, y);
    return sign(int64_t(x.Length()) - y.Length());
}

extern "C" StringValue* SystemGetCommandLine() {
    if (IsWindowsNT()) {
        StringHandle wide;
        const wchar_t* line = GetCommandLineW();
        int32_t units = line ? int32_t(wcslen(line)) : 0;
        wide = StringHandle::Adopt(StringMakeUtf16(reinterpret_cast<const uint16_t*>(line), units));
        return wide.ToUtf8().Release();
    }
    return StringMakeC(GetCommandLineA(), SystemEncoding());
}

// ---- EndOfLine -----------------------------------------------------------------

namespace {
// Made on first use and kept for the process.
StringValue* Constant(StringValue*& slot, const char* text) {
    std::lock_guard<std::mutex> lock(gTablesLock);
    if (!slot) slot = StringMakeC(text, kEncodingASCII);
    return StringRetain(slot);
}
StringValue* gMac = nullptr;
StringValue* gWin = nullptr;
StringValue* gUnix = nullptr;
StringValue* gPlatform = nullptr;
StringHandle PlatformEndOfLine() { return StringHandle::Adopt(Constant(gPlatform, "\r\n")); }
}  // namespace

extern "C" StringValue* getMacEndOfLine(ObjectHeader*) { return Constant(gMac, "\r"); }
extern "C" StringValue* getWin32EndOfLine(ObjectHeader*) { return Constant(gWin, "\r\n"); }
extern "C" StringValue* getUNIXEndOfLine(ObjectHeader*) { return Constant(gUnix, "\n"); }
extern "C" StringValue* RuntimeEndOfLine(ObjectHeader*) { return PlatformEndOfLine().Release(); }

extern "C" StringValue* RuntimeEndOfLineAdd(ObjectHeader*, StringValue* s) {
    return StringConcat(PlatformEndOfLine(), StringHandle::Borrow(s)).Release();
}

extern "C" StringValue* RuntimeEndOfLineAddRight(ObjectHeader*, StringValue* s) {
    return StringConcat(StringHandle::Borrow(s), PlatformEndOfLine()).Release();
}

extern "C" int32_t RuntimeEndOfLineCompare(ObjectHeader*, StringValue* s) {
    return StringCompareBinary(PlatformEndOfLine(), StringHandle::Borrow(s));
}
