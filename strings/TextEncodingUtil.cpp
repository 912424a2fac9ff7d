#include "strings/TextEncodingUtil.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "startup/ProcessState.h"
#include "strings/JapaneseConverters.h"
#include "strings/basicstr.h"
#include "strings/utility.h"

namespace {
constexpr uint32_t kCodePageUTF16 = 1200;
constexpr uint32_t kCodePageUTF7 = 65000;
constexpr uint32_t kCodePageUTF8 = 65001;
constexpr uint32_t kCodePageEBCDIC = 37;
constexpr int64_t kMaxBytes = 0x7FFFFFF0;

// Grow-only per-thread buffers for the steps between a conversion's input and
// its result (the wide form, the Shift_JIS form), so that the route's inner
// loop allocates nothing but the results.
template <typename T>
class Scratch {
public:
    T* Reserve(int32_t n) {
        if (n > capacity_) {
            int32_t grown = capacity_ > n / 2 ? 2 * capacity_ : n;
            if (grown < 256) grown = 256;
            data_.reset(new T[size_t(grown)]);
            capacity_ = grown;
        }
        return data_.get();
    }

private:
    std::unique_ptr<T[]> data_;
    int32_t capacity_ = 0;
};

thread_local Scratch<wchar_t> tWide;
thread_local Scratch<uint8_t> tShiftJis;  // Japanese source text as Shift_JIS
thread_local Scratch<uint8_t> tBytes;     // the platform's multi-byte output

const uint8_t* BytesOf(const StringHandle& h) { return reinterpret_cast<const uint8_t*>(h.Text()); }

bool IsPseudoPage(uint32_t cp) { return cp == kCodePageEUCJP || cp == kCodePageISO2022JP; }

using ByteConverter = int32_t (*)(const uint8_t*, int32_t, uint8_t*);
ByteConverter ToShiftJis(uint32_t cp) { return cp == kCodePageEUCJP ? EucJpToShiftJis : Iso2022JpToShiftJis; }
ByteConverter FromShiftJis(uint32_t cp) { return cp == kCodePageEUCJP ? ShiftJisToEucJp : ShiftJisToIso2022Jp; }

// A record of exactly the converter's output for in.
StringHandle ConvertBytes(ByteConverter convert, const uint8_t* in, int32_t n) {
    int32_t size = convert(in, n, nullptr);
    StringHandle out = StringHandle::Adopt(StringMake(nullptr, size));
    if (!out.IsEmpty()) convert(in, n, out.WritableByte(0));
    return out;
}

// Most bytes a code page writes per UTF-16 unit; 0 when the platform must say.
int64_t WorstBytes(uint32_t cp, int32_t units) {
    if (cp == kCodePageUTF7) return 0;
    return int64_t(units) * (cp == kCodePageUTF8 ? 3 : 2);
}

// Text whose 7-bit bytes mean the same characters as in ASCII, so that pure
// 7-bit text can change its tag without being transcoded. Not so for UTF-16,
// UTF-7, EBCDIC, and ISO-2022-JP, whose escapes are 7-bit bytes.
bool KeepsSevenBitText(uint32_t e) {
    uint32_t cp = EncodingCodePage(e);
    if (cp == kCodePageUTF8) return true;
    if (IsUnicodeEncoding(EncodingBase(e))) return false;
    return cp != kCodePageUTF16 && cp != kCodePageUTF7 && cp != kCodePageEBCDIC &&
           cp != kCodePageISO2022JP;
}

bool IsSevenBit(const StringValue* s) {
    const uint8_t* p = s->text + 1;
    uint8_t any = 0;
    for (int32_t i = 0; i < s->length; ++i) any |= p[i];
    return any < 0x80;
}

// The conversion cache: the last source and its result, for the process.
StringValue* gCacheSource = nullptr;
StringValue* gCacheResult = nullptr;
}  // namespace

uint32_t EncodingOfSystemScript(int script) {
    if (script == 13) return kEncodingShiftJIS;
    if (script == 21) return kEncodingBig5;
    return kEncodingWindowsLatin1;
}

StringHandle Transcode(const StringHandle& s, uint32_t from, uint32_t to) {
    if (from == to) return s;
    if (s.IsEmpty() || !EncodingIsUsable(from) || !EncodingIsUsable(to)) return StringHandle();
    uint32_t cpFrom = EncodingCodePage(from), cpTo = EncodingCodePage(to);

    // The wide form.
    const wchar_t* units;
    int32_t count;
    if (s.Encoding() == kEncodingUTF16 || cpFrom == kCodePageUTF16) {
        units = reinterpret_cast<const wchar_t*>(s.Text());
        count = s.Length() / 2;
    } else {
        const uint8_t* bytes = BytesOf(s);
        int32_t n = s.Length();
        if (IsPseudoPage(cpFrom)) {
            ByteConverter convert = ToShiftJis(cpFrom);
            int32_t size = convert(bytes, n, nullptr);
            uint8_t* sjis = tShiftJis.Reserve(size);
            convert(bytes, n, sjis);
            bytes = sjis;
            n = size;
            cpFrom = kCodePageShiftJIS;
        }
        // No byte decodes to more than one unit.
        wchar_t* wide = tWide.Reserve(n);
        count = MultiByteToWideChar(cpFrom, 0, reinterpret_cast<const char*>(bytes), n, wide, n);
        units = wide;
    }
    if (count <= 0) return StringHandle();

    if (cpTo == kCodePageUTF16) {
        StringHandle out =
            StringHandle::Adopt(StringMakeUtf16(reinterpret_cast<const uint16_t*>(units), count));
        out.SetEncoding(to);
        return out;
    }

    uint32_t cp = IsPseudoPage(cpTo) ? kCodePageShiftJIS : cpTo;
    int64_t worst = WorstBytes(cp, count);
    if (worst == 0 || worst > kMaxBytes)
        worst = WideCharToMultiByte(cp, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (worst <= 0) return StringHandle();
    uint8_t* bytes = tBytes.Reserve(int32_t(worst));
    int32_t n = WideCharToMultiByte(cp, 0, units, count, reinterpret_cast<char*>(bytes), int(worst),
                                    nullptr, nullptr);
    if (n <= 0) return StringHandle();
    StringHandle out = IsPseudoPage(cpTo) ? ConvertBytes(FromShiftJis(cpTo), bytes, n)
                                          : StringHandle::Adopt(StringMake(bytes, n));
    out.SetEncoding(to);
    return out;
}

StringValue* ConvertString(StringValue* s, uint32_t target) {
    if (target == kEncodingUnknown || !s || s->encoding == target) return StringRetain(s);
    CriticalSectionLock lock(gStringLock);
    if (s == gCacheSource && gCacheResult && gCacheResult->encoding == target)
        return StringRetain(gCacheResult);

    StringHandle source = StringHandle::Borrow(s);
    StringHandle result;
    bool retag = KeepsSevenBitText(s->encoding) && KeepsSevenBitText(target) &&
                 (s->encoding == kEncodingASCII || IsSevenBit(s));
    if (retag) {
        result = StringHandle::Adopt(StringMake(s->text + 1, s->length));
        result.SetEncoding(target);
    } else {
        result = Transcode(source, s->encoding, target);
    }
    StringValue* oldSource = gCacheSource;
    StringValue* oldResult = gCacheResult;
    gCacheSource = source.Release();
    gCacheResult = result.Retained();
    StringRelease(oldSource);
    StringRelease(oldResult);
    return result.Release();
}

void ClearConversionCache() {
    CriticalSectionLock lock(gStringLock);
    StringRelease(gCacheSource);
    StringRelease(gCacheResult);
    gCacheSource = gCacheResult = nullptr;
}

void InstallTextConverters() { SetStringConverter(ConvertString); }
