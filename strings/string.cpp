#include "strings/string.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "strings/utility.h"

namespace {
constexpr int32_t kRecordSize = int32_t(sizeof(StringValue));
constexpr int32_t kMaxLength = 0x7FFFFFF0;  // leaves room for the length byte and NULs
const char kEmptyText[1] = {0};
const uint16_t kEmptyUtf16[1] = {0};

StringConvertFunction gConvert = nullptr;

// A new record with one reference and room for n bytes of text plus
// `terminators` NULs behind the length byte; nil when the buffer is refused.
StringValue* NewRecord(int32_t n, int32_t terminators, uint32_t encoding) {
    if (n <= 0 || n > kMaxLength) return nullptr;
    CriticalSectionLock lock(gStringLock);
    int32_t capacity = n + 1 + terminators;
    uint8_t* buffer = static_cast<uint8_t*>(PoolAlloc(capacity, true));
    if (!buffer) return nullptr;
    StringValue* s = static_cast<StringValue*>(PoolAlloc(kRecordSize, false));
    s->refCount = 1;
    s->text = buffer;
    s->capacity = capacity;
    s->length = n;
    s->encoding = encoding;
    buffer[0] = StringLengthByte(n);
    std::memset(buffer + 1 + n, 0, terminators);
    return s;
}

// A record of n bytes tagged with encoding. UTF-16 text keeps its two NULs
// and the low byte of its length, as MakeUtf16 lays it out.
StringValue* NewTagged(int32_t n, uint32_t encoding) {
    if (encoding != kEncodingUTF16) return NewRecord(n, 1, encoding);
    StringValue* s = NewRecord(n, 2, encoding);
    if (s) s->text[0] = uint8_t(n);
    return s;
}

const uint8_t* Bytes(const StringValue* s) { return s->text + 1; }

// The bytes of a followed by those of b, tagged with encoding; nil when empty.
StringHandle Join(const uint8_t* a, int32_t na, const uint8_t* b, int32_t nb, uint32_t encoding) {
    if (int64_t(na) + nb > kMaxLength) return StringHandle();
    StringHandle out = StringHandle::Adopt(NewTagged(na + nb, encoding));
    if (StringValue* s = out.Get()) {
        if (na) std::memcpy(s->text + 1, a, na);
        if (nb) std::memcpy(s->text + 1 + na, b, nb);
    }
    return out;
}

// n bytes of s from offset, in s's encoding.
StringHandle Piece(const StringValue* s, int32_t offset, int32_t n) {
    return Join(Bytes(s) + offset, n, nullptr, 0, s->encoding);
}

int32_t CompareBytesBinary(const uint8_t* a, int32_t na, const uint8_t* b, int32_t nb) {
    int32_t n = na < nb ? na : nb;
    for (int32_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

using ByteComparison = int32_t (*)(const uint8_t*, int32_t, const uint8_t*, int32_t);

// The handle's comparison: raw bytes when the encodings agree or one is
// unknown, else after bringing both to a common encoding.
int32_t CompareHandles(const StringHandle& a, const StringHandle& b, ByteComparison compare) {
    if (a.Get() == b.Get()) return 0;
    StringHandle x = a, y = b;
    if (x.Encoding() != y.Encoding() && x.Encoding() != kEncodingUnknown &&
        y.Encoding() != kEncodingUnknown)
        StringCommonEncoding(x, y);
    return compare(reinterpret_cast<const uint8_t*>(x.Text()), x.Length(),
                   reinterpret_cast<const uint8_t*>(y.Text()), y.Length());
}

bool IsAsciiOrUtf8(uint32_t e) { return e == kEncodingASCII || e == kEncodingUTF8; }

bool IsBlank(uint8_t c) { return c == 0x20 || c == 0x09; }
}  // namespace

// ---- Records -------------------------------------------------------------------

StringValue* StringMake(const void* bytes, int32_t n) {
    StringValue* s = NewRecord(n, 1, kEncodingUnknown);
    if (s && bytes) std::memcpy(s->text + 1, bytes, n);
    return s;
}

StringValue* StringMakeC(const char* text, uint32_t encoding) {
    StringValue* s = StringMake(text, text ? int32_t(std::strlen(text)) : 0);
    if (s) s->encoding = encoding;
    return s;
}

StringValue* StringMakeUtf16(const uint16_t* units, int32_t count) {
    if (count <= 0 || count > kMaxLength / 2) return nullptr;
    StringValue* s = NewTagged(2 * count, kEncodingUTF16);
    if (s && units) std::memcpy(s->text + 1, units, 2 * count);
    return s;
}

void StringRelease(StringValue* s) {
    if (!s) return;
    CriticalSectionLock lock(gStringLock);
    if (--s->refCount == 0) {
        PoolFree(s->text, s->capacity);
        PoolFree(s, kRecordSize);
    }
}

StringValue* StringRetain(StringValue* s) {
    if (!s) return nullptr;
    CriticalSectionLock lock(gStringLock);
    ++s->refCount;
    return s;
}

const char* StringText(const StringValue* s) {
    return s ? reinterpret_cast<const char*>(s->text + 1) : kEmptyText;
}

// ---- Encodings -----------------------------------------------------------------

void SetStringConverter(StringConvertFunction convert) { gConvert = convert; }

StringValue* StringConvert(StringValue* s, uint32_t target) {
    return gConvert && s ? gConvert(s, target) : nullptr;
}

uint32_t CombineEncodings(uint32_t x, uint32_t y, bool fallBack) {
    if (x == y) return x;
    if (IsAsciiOrUtf8(x) && IsAsciiOrUtf8(y)) return kEncodingUTF8;
    if (x == kEncodingASCII && !IsUnicodeEncoding(y)) return y;
    if (y == kEncodingASCII && !IsUnicodeEncoding(x)) return x;
    if (!fallBack) return kEncodingUnknown;
    bool utf16 = x == kEncodingUTF16 || y == kEncodingUTF16;
    bool utf8 = x == kEncodingUTF8 || y == kEncodingUTF8;
    return utf16 && !utf8 ? kEncodingUTF16 : kEncodingUTF8;
}

uint32_t StringCommonEncoding(StringHandle& a, StringHandle& b) {
    if (a.IsEmpty()) return b.Encoding();
    if (b.IsEmpty()) return a.Encoding();
    uint32_t x = a.Encoding(), y = b.Encoding();
    if (x == y) return x;
    if (x == kEncodingUnknown || y == kEncodingUnknown) return kEncodingUnknown;
    uint32_t joined = CombineEncodings(x, y, false);
    if (joined != kEncodingUnknown) return joined;

    uint32_t target = CombineEncodings(x, y, true);
    // Both are converted before either is replaced, so a failure leaves both as they were.
    StringHandle ca = x == target ? a : StringHandle::Adopt(StringConvert(a.Get(), target));
    StringHandle cb = y == target ? b : StringHandle::Adopt(StringConvert(b.Get(), target));
    if (ca.IsEmpty() || cb.IsEmpty()) return kEncodingUnknown;
    a = ca;
    b = cb;
    return target;
}

StringHandle StringConcat(const StringHandle& a, const StringHandle& b) {
    if (b.IsEmpty()) return a;
    if (a.IsEmpty()) return b;
    StringHandle x = a, y = b;
    uint32_t encoding = x.Encoding() == y.Encoding() ? x.Encoding() : StringCommonEncoding(x, y);
    return Join(Bytes(x.Get()), x.Length(), Bytes(y.Get()), y.Length(), encoding);
}

int32_t StringCompareBinary(const StringHandle& a, const StringHandle& b) {
    return CompareHandles(a, b, CompareBytesBinary);
}

int32_t StringCompareText(const StringHandle& a, const StringHandle& b) {
    return CompareHandles(a, b, CompareBytesText);
}

// ---- Case tables ---------------------------------------------------------------

// Mac OS Roman upper case: a-z and the accented lower-case letters.
const uint8_t kRomanUpper[256] = {
#define ROW(b) b, b + 1, b + 2, b + 3, b + 4, b + 5, b + 6, b + 7
    ROW(0x00), ROW(0x08), ROW(0x10), ROW(0x18), ROW(0x20), ROW(0x28), ROW(0x30), ROW(0x38),
    ROW(0x40), ROW(0x48), ROW(0x50), ROW(0x58),
    0x60, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47,  // 60-67
    0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,  // 68-6F
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57,  // 70-77
    0x58, 0x59, 0x5A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,  // 78-7F
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0xE7,  // 80-87
    0xCB, 0xE5, 0x80, 0xCC, 0x81, 0x82, 0x83, 0xE9,  // 88-8F
    0xE6, 0xE8, 0xEA, 0xED, 0xEB, 0xEC, 0x84, 0xEE,  // 90-97
    0xF1, 0xEF, 0x85, 0xCD, 0xF2, 0xF4, 0xF3, 0x86,  // 98-9F
    ROW(0xA0), ROW(0xA8), ROW(0xB0),
    0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xAE, 0xAF,  // B8-BF
    ROW(0xC0),
    0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCE,  // C8-CF
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7,  // D0-D7
    0xD9, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,  // D8-DF
    ROW(0xE0), ROW(0xE8),
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0x49, 0xF6, 0xF7,  // F0-F7
    ROW(0xF8),
#undef ROW
};

int32_t CompareBytesText(const uint8_t* a, int32_t na, const uint8_t* b, int32_t nb) {
    int32_t n = na < nb ? na : nb;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t x = kRomanUpper[a[i]], y = kRomanUpper[b[i]];
        if (x != y) return x < y ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

namespace {
constexpr int32_t kCaseChains = 1024;

// A hash map from a 16-bit key to a row of the case table, in static storage.
class CaseMap {
public:
    void Clear() {
        for (int16_t& h : head_) h = -1;
        nodes_ = 0;
    }
    // A later entry for the same key replaces the earlier one.
    void Enter(uint16_t key, int16_t row, uint16_t (*keyOf)(int16_t)) {
        int16_t& chain = head_[Hash(key)];
        for (int16_t n = chain; n >= 0; n = next_[n]) {
            if (keyOf(row_[n]) == key) {
                row_[n] = row;
                return;
            }
        }
        row_[nodes_] = row;
        next_[nodes_] = chain;
        chain = nodes_++;
    }
    int32_t Find(uint16_t key, uint16_t (*keyOf)(int16_t)) const {
        for (int16_t n = head_[Hash(key)]; n >= 0; n = next_[n])
            if (keyOf(row_[n]) == key) return row_[n];
        return -1;
    }

private:
    static int32_t Hash(uint16_t key) { return int32_t((uint32_t(key) * 13u) % kCaseChains); }

    int16_t head_[kCaseChains];
    int16_t next_[kUnicodeCaseRows];
    int16_t row_[kUnicodeCaseRows];
    int16_t nodes_ = 0;
};

uint16_t FoldedOf(int16_t row) { return kUnicodeCaseTable[row].folded; }
uint16_t CapitalOf(int16_t row) { return kUnicodeCaseTable[row].capital; }

CaseMap gToUpper;  // keyed by the folded member
CaseMap gToLower;  // keyed by the capital member
std::once_flag gCaseMapsBuilt;

void BuildCaseMaps() {
    gToUpper.Clear();
    gToLower.Clear();
    // Last row first, so the first row in table order wins for a shared key.
    for (int16_t row = kUnicodeCaseRows - 1; row >= 0; --row) {
        gToUpper.Enter(FoldedOf(row), row, FoldedOf);
        gToLower.Enter(CapitalOf(row), row, CapitalOf);
    }
}

void EnsureCaseMaps() { std::call_once(gCaseMapsBuilt, BuildCaseMaps); }
}  // namespace

uint16_t UnicodeToUpper(uint16_t codePoint) {
    EnsureCaseMaps();
    int32_t row = gToUpper.Find(codePoint, FoldedOf);
    return row < 0 ? codePoint : kUnicodeCaseTable[row].capital;
}

uint16_t UnicodeToLower(uint16_t codePoint) {
    EnsureCaseMaps();
    int32_t row = gToLower.Find(codePoint, CapitalOf);
    return row < 0 ? codePoint : kUnicodeCaseTable[row].folded;
}

int32_t UnicodeCaseTableSize() { return kUnicodeCaseRows; }

// ---- The handle ----------------------------------------------------------------

StringHandle& StringHandle::operator=(const StringHandle& other) {
    if (other.s_ == s_) return *this;
    CriticalSectionLock lock(gStringLock);
    StringValue* old = s_;
    s_ = StringRetain(other.s_);
    StringRelease(old);
    return *this;
}

StringHandle& StringHandle::operator=(StringHandle&& other) noexcept {
    if (this != &other) {
        StringValue* old = s_;
        s_ = other.s_;
        other.s_ = nullptr;
        StringRelease(old);
    }
    return *this;
}

void StringHandle::SetEncoding(uint32_t encoding) {
    if (!s_ || s_->encoding == encoding) return;
    CriticalSectionLock lock(gStringLock);
    if (s_->refCount != 1) {
        StringHandle copy = Piece(s_, 0, s_->length);
        if (copy.IsEmpty()) return;  // buffer refused: keep the shared record as it is
        *this = std::move(copy);
    }
    s_->encoding = encoding;
}

const uint16_t* StringHandle::Utf16() const {
    if (!s_) return kEmptyUtf16;
    if (s_->encoding != kEncodingUTF16) {
        RUNTIME_ASSERT(s_->encoding == kEncodingUTF16);
        return kEmptyUtf16;
    }
    return reinterpret_cast<const uint16_t*>(s_->text + 1);
}

uint8_t* StringHandle::WritableByte(int32_t i) {
    // Nil's one writable byte, and where a bad index writes harmlessly.
    static uint8_t scratch;
    scratch = 0;
    if (!s_) {
        RUNTIME_ASSERT(i == 0);
        return &scratch;
    }
    if (i < 0 || i >= s_->length) {
        RUNTIME_ASSERT(i >= 0 && i < s_->length);
        return &scratch;
    }
    CriticalSectionLock lock(gStringLock);
    if (s_->refCount != 1) {
        StringHandle copy = Piece(s_, 0, s_->length);
        if (copy.IsEmpty()) return &scratch;  // buffer refused: the shared text stays intact
        *this = std::move(copy);
    }
    return s_->text + 1 + i;
}

StringHandle StringHandle::Left(int32_t n) const {
    if (n >= Length()) return *this;
    if (n <= 0) return StringHandle();
    return Piece(s_, 0, n);
}

StringHandle StringHandle::Right(int32_t n) const {
    if (n >= Length()) return *this;
    if (n <= 0) return StringHandle();
    return Piece(s_, s_->length - n, n);
}

StringHandle StringHandle::From(int32_t i) const {
    if (i <= 0) return *this;
    if (i >= Length()) return StringHandle();
    return Piece(s_, i, s_->length - i);
}

StringHandle StringHandle::Sub(int32_t i, int32_t n) const {
    int64_t start = i, count = n;
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (start >= Length() || count <= 0) return StringHandle();
    if (count > Length() - start) count = Length() - start;
    if (start == 0 && count == Length()) return *this;
    return Piece(s_, int32_t(start), int32_t(count));
}

void StringHandle::Append(const StringHandle& b) {
    if (b.IsEmpty()) return;
    if (!s_) {
        *this = b;
        return;
    }
    if (s_->encoding != b.s_->encoding) {
        *this = StringConcat(*this, b);
        return;
    }
    *this = Join(Bytes(s_), s_->length, Bytes(b.s_), b.s_->length, s_->encoding);
}

void StringHandle::AppendC(const char* text) {
    int32_t n = text ? int32_t(std::strlen(text)) : 0;
    if (n == 0) return;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    if (!s_) {
        *this = Adopt(StringMake(bytes, n));
        return;
    }
    *this = Join(Bytes(s_), s_->length, bytes, n, s_->encoding);
}

void StringHandle::AppendByte(uint8_t c) {
    uint32_t encoding = c < 0x80 ? CombineEncodings(Encoding(), kEncodingASCII, false)
                                 : kEncodingUnknown;
    const uint8_t* bytes = s_ ? Bytes(s_) : nullptr;
    *this = Join(bytes, Length(), &c, 1, encoding);
}

StringHandle StringHandle::TrimSpaces(TrimSide side) const {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(Text());
    int32_t start = 0, end = Length();
    if (side & kTrimLeft)
        while (start < end && IsBlank(bytes[start])) ++start;
    if (side & kTrimRight)
        while (end > start && IsBlank(bytes[end - 1])) --end;
    return Sub(start, end - start);
}

StringHandle StringHandle::ToUtf8() const {
    if (!s_ || s_->encoding == kEncodingUTF8) return *this;
    if (s_->encoding != kEncodingUTF16) return Adopt(StringConvert(s_, kEncodingUTF8));
    const wchar_t* units = reinterpret_cast<const wchar_t*>(s_->text + 1);
    int count = s_->length / 2;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, units, count, nullptr, 0, nullptr, nullptr);
    StringHandle out = Adopt(NewTagged(bytes, kEncodingUTF8));
    if (out.IsEmpty()) return out;
    WideCharToMultiByte(CP_UTF8, 0, units, count, reinterpret_cast<char*>(out.s_->text + 1),
                        bytes, nullptr, nullptr);
    return out;
}

StringHandle StringHandle::ToUtf16() const {
    if (!s_ || s_->encoding == kEncodingUTF16) return *this;
    if (s_->encoding != kEncodingUTF8) return Adopt(StringConvert(s_, kEncodingUTF16));
    int units = MultiByteToWideChar(CP_UTF8, 0, Text(), s_->length, nullptr, 0);
    StringHandle out = Adopt(StringMakeUtf16(nullptr, units));
    if (out.IsEmpty()) return out;
    MultiByteToWideChar(CP_UTF8, 0, Text(), s_->length,
                        reinterpret_cast<wchar_t*>(out.s_->text + 1), units);
    return out;
}

StringHandle StringHandle::Number(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(value));
    return Adopt(StringMakeC(text, kEncodingASCII));
}
