// The string entry points called by module code.
#include <windows.h>

#include "orvane/exports.h"
#include "startup/SystemVersion.h"
#include "strings/basicstr.h"
#include "strings/string.h"

namespace {
int32_t Sign(int64_t d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

uint32_t Upper(uint32_t cp) { return cp <= 0xFFFF ? UnicodeToUpper(uint16_t(cp)) : cp; }

int32_t CompareUtf8(const StringHandle& a, const StringHandle& b) {
    const uint8_t* pa = reinterpret_cast<const uint8_t*>(a.Text());
    const uint8_t* pb = reinterpret_cast<const uint8_t*>(b.Text());
    const uint8_t *ea = pa + a.Length(), *eb = pb + b.Length();
    while (pa < ea && pb < eb) {
        uint32_t x = Utf8Next(pa, ea), y = Utf8Next(pb, eb);
        if (x == y) continue;
        x = Upper(x);
        y = Upper(y);
        if (x != y) return x < y ? -1 : 1;
    }
    return Sign(int64_t(a.Length()) - b.Length());
}

// Code unit i of a text whose units start at an odd address.
uint16_t UnitAt(const StringHandle& s, int32_t i) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(s.Text()) + 2 * i;
    return uint16_t(p[0] | p[1] << 8);
}

int32_t CompareUtf16(const StringHandle& a, const StringHandle& b) {
    int32_t n = (a.Length() < b.Length() ? a.Length() : b.Length()) / 2;
    for (int32_t i = 0; i < n; ++i) {
        uint16_t x = UnitAt(a, i), y = UnitAt(b, i);
        if (x == y) continue;
        x = UnicodeToUpper(x);
        y = UnicodeToUpper(y);
        if (x != y) return x < y ? -1 : 1;
    }
    return Sign(int64_t(a.Length()) - b.Length());
}

// The text read in the system ANSI code page, as UTF-16.
StringHandle AnsiToUtf16(const StringHandle& s) {
    int units = MultiByteToWideChar(CP_ACP, 0, s.Text(), s.Length(), nullptr, 0);
    StringHandle out = StringHandle::Adopt(StringMakeUtf16(nullptr, units));
    if (out.IsEmpty()) return out;
    MultiByteToWideChar(CP_ACP, 0, s.Text(), s.Length(),
                        reinterpret_cast<wchar_t*>(out.WritableByte(0)), units);
    return out;
}

// Less and greater decide; equal is equal only for texts of one length.
int32_t LocaleResult(int result, int32_t na, int32_t nb) {
    if (result == CSTR_LESS_THAN) return -1;
    if (result == CSTR_GREATER_THAN) return 1;
    return Sign(int64_t(na) - nb);
}

int32_t CompareLocale(const StringHandle& a, const StringHandle& b) {
    const uint8_t* ba = reinterpret_cast<const uint8_t*>(a.Text());
    const uint8_t* bb = reinterpret_cast<const uint8_t*>(b.Text());
    if (!IsWindowsNT()) {
        int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.Text(), a.Length(),
                               b.Text(), b.Length());
        if (r == 0) return CompareBytesText(ba, a.Length(), bb, b.Length());
        return LocaleResult(r, a.Length(), b.Length());
    }
    StringHandle wa = AnsiToUtf16(a), wb = AnsiToUtf16(b);
    if (wa.IsEmpty() || wb.IsEmpty()) return CompareBytesText(ba, a.Length(), bb, b.Length());
    int32_t na = wa.Length() / 2, nb = wb.Length() / 2;
    int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE,
                           reinterpret_cast<const wchar_t*>(wa.Utf16()), na,
                           reinterpret_cast<const wchar_t*>(wb.Utf16()), nb);
    if (r == 0) return CompareBytesText(ba, a.Length(), bb, b.Length());
    return LocaleResult(r, na, nb);
}
}  // namespace

extern "C" void RuntimeLockString(StringValue* s) { StringRetain(s); }

extern "C" void RuntimeUnlockString(StringValue* s) { StringRelease(s); }

extern "C" void RuntimeLockUnlockStrings(StringValue* newValue, StringValue* oldValue) {
    if (newValue == oldValue) return;
    StringRetain(newValue);
    StringRelease(oldValue);
}

extern "C" StringValue* RuntimeAddString(StringValue* a, StringValue* b) {
    return StringConcat(StringHandle::Borrow(a), StringHandle::Borrow(b)).Release();
}

extern "C" int32_t RuntimeStringCompare(StringValue* a, StringValue* b) {
    if (a == b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    StringHandle x = StringHandle::Borrow(a), y = StringHandle::Borrow(b);
    uint32_t common = StringCommonEncoding(x, y);
    if (common == kEncodingUTF8) return CompareUtf8(x, y);
    if (common == kEncodingUTF16) return CompareUtf16(x, y);
    return CompareLocale(x, y);
}
