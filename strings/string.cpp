#include "strings/string.h"

#include <windows.h>

#include <cstring>

#include "startup/AssertionReport.h"
#include "startup/RuntimeMain.h"
#include "strings/utility.h"

namespace {
constexpr int32_t kRecordSize = int32_t(sizeof(StringValue));
const char kEmptyText[1] = {0};

StringConvertFunction gConvert = nullptr;

// A new record with one reference and room for n bytes of text plus
// `terminators` NULs behind the length byte; nil when the buffer is refused.
StringValue* NewRecord(int32_t n, int32_t terminators, uint32_t encoding) {
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
}  // namespace

StringValue* StringMake(const void* bytes, int32_t n) {
    if (n <= 0) return nullptr;
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
    if (count <= 0) return nullptr;
    StringValue* s = NewRecord(2 * count, 2, kEncodingUTF16);
    if (!s) return nullptr;
    s->text[0] = uint8_t(2 * count);  // the low byte of the byte length
    if (units) std::memcpy(s->text + 1, units, 2 * count);
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

void SetStringConverter(StringConvertFunction convert) { gConvert = convert; }

StringValue* StringConvert(StringValue* s, uint32_t target) {
    return gConvert ? gConvert(s, target) : nullptr;
}

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

namespace {
const uint16_t kEmptyUtf16[1] = {0};
}

const uint16_t* StringHandle::Utf16() const {
    if (!s_) return kEmptyUtf16;
    if (s_->encoding != kEncodingUTF16) {
        RUNTIME_ASSERT(s_->encoding == kEncodingUTF16);
        return kEmptyUtf16;
    }
    return reinterpret_cast<const uint16_t*>(s_->text + 1);
}

StringHandle StringHandle::ToUtf16() const {
    if (!s_ || s_->encoding == kEncodingUTF16) return *this;
    if (s_->encoding == kEncodingUTF8 || s_->encoding == kEncodingASCII) {
        int units = MultiByteToWideChar(CP_UTF8, 0, Text(), s_->length, nullptr, 0);
        if (units <= 0) return StringHandle();
        StringHandle out = Adopt(StringMakeUtf16(nullptr, units));
        if (out.IsEmpty()) return out;
        MultiByteToWideChar(CP_UTF8, 0, Text(), s_->length,
                            reinterpret_cast<wchar_t*>(out.s_->text + 1), units);
        return out;
    }
    return Adopt(StringConvert(s_, kEncodingUTF16));
}
