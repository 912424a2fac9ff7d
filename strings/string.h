// String values: records, the owning handle, encodings when joining and
// comparing, and the case tables.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

// ---- Record operations -------------------------------------------------------

// n <= 0 or a refused buffer gives nil; otherwise a record with one reference,
// encoding unknown, a copy of bytes (when given) and the terminating NUL.
StringValue* StringMake(const void* bytes, int32_t n);
// A record of the bytes of a C string, tagged with encoding.
StringValue* StringMakeC(const char* text, uint32_t encoding = kEncodingASCII);
// UTF-16 text of count code units followed by two NULs.
StringValue* StringMakeUtf16(const uint16_t* units, int32_t count);
// Gives back one reference; frees the record when it was the last.
void StringRelease(StringValue* s);
// Takes one more reference and returns s.
StringValue* StringRetain(StringValue* s);

inline int32_t StringLength(const StringValue* s) { return s ? s->length : 0; }
inline uint32_t StringEncoding(const StringValue* s) { return s ? s->encoding : kEncodingASCII; }
// The text bytes (NUL-terminated), or a static empty text for nil.
const char* StringText(const StringValue* s);
// The length byte for a text of n bytes.
inline uint8_t StringLengthByte(int32_t n) { return n < 256 ? uint8_t(n) : uint8_t(255); }

// ---- Encodings ---------------------------------------------------------------

inline bool IsUnicodeEncoding(uint32_t e) { return e >= 0x0100u && e <= 0x01FFu; }
// The encoding of text made by joining text in x with text in y.
uint32_t CombineEncodings(uint32_t x, uint32_t y, bool fallBack);

// Conversion of a text to another encoding, supplied by the text converters.
// The result carries one reference for the caller; nil when the text cannot
// be converted. Until the converters are installed every conversion yields nil.
using StringConvertFunction = StringValue* (*)(StringValue* s, uint32_t target);
void SetStringConverter(StringConvertFunction convert);
StringValue* StringConvert(StringValue* s, uint32_t target);

// ---- Case tables ---------------------------------------------------------------

// The Roman upper-case mapping used by case-insensitive byte comparison.
extern const uint8_t kRomanUpper[256];
// Unicode simple case folding of the Basic Multilingual Plane.
uint16_t UnicodeToUpper(uint16_t codePoint);
uint16_t UnicodeToLower(uint16_t codePoint);
int32_t UnicodeCaseTableSize();

// One (capital, folded) pair; the table is sorted by capital.
struct UnicodeCaseRow {
    uint16_t capital;
    uint16_t folded;
};
constexpr int32_t kUnicodeCaseRows = 724;
extern const UnicodeCaseRow kUnicodeCaseTable[kUnicodeCaseRows];

// ---- The handle --------------------------------------------------------------

// Owns one reference to a string value, or nil.
class StringHandle {
public:
    StringHandle() = default;
    // Adopts a reference the caller owns (for example the result of StringMake).
    static StringHandle Adopt(StringValue* s) {
        StringHandle h;
        h.s_ = s;
        return h;
    }
    // Takes a new reference to a borrowed value.
    static StringHandle Borrow(StringValue* s) { return Adopt(StringRetain(s)); }
    // Text of a C string tagged ASCII (the runtime's own 7-bit texts).
    explicit StringHandle(const char* text) : s_(StringMakeC(text)) {}
    StringHandle(const StringHandle& other) : s_(StringRetain(other.s_)) {}
    StringHandle(StringHandle&& other) noexcept : s_(other.s_) { other.s_ = nullptr; }
    ~StringHandle() { StringRelease(s_); }
    StringHandle& operator=(const StringHandle& other);
    StringHandle& operator=(StringHandle&& other) noexcept;

    StringValue* Get() const { return s_; }
    // Hands the reference to the caller (how an entry point returns its result).
    StringValue* Release() {
        StringValue* s = s_;
        s_ = nullptr;
        return s;
    }
    // One more reference for the caller; the handle keeps its own.
    StringValue* Retained() const { return StringRetain(s_); }

    bool IsEmpty() const { return s_ == nullptr; }
    int32_t Length() const { return StringLength(s_); }
    uint32_t Encoding() const { return StringEncoding(s_); }
    void SetEncoding(uint32_t encoding);  // retags a private copy when shared

    const char* Text() const { return StringText(s_); }
    // UTF-16 text; a report and a static zero for a non-UTF-16 record.
    const uint16_t* Utf16() const;
    // Copy-on-write access to byte i (0-based).
    uint8_t* WritableByte(int32_t i);

    StringHandle Left(int32_t n) const;
    StringHandle Right(int32_t n) const;
    StringHandle From(int32_t i) const;
    StringHandle Sub(int32_t i, int32_t n) const;

    void Append(const StringHandle& b);
    void AppendC(const char* text);
    void AppendByte(uint8_t c);

    enum TrimSide { kTrimLeft = 1, kTrimRight = 2, kTrimBoth = 3 };
    StringHandle TrimSpaces(TrimSide side) const;

    StringHandle ToUtf8() const;
    StringHandle ToUtf16() const;

    static StringHandle Number(int32_t value);

private:
    StringValue* s_ = nullptr;
};

StringHandle StringConcat(const StringHandle& a, const StringHandle& b);
// Binary (unsigned bytes) and text (Roman upper case) comparison: -1, 0 or 1.
int32_t StringCompareBinary(const StringHandle& a, const StringHandle& b);
int32_t StringCompareText(const StringHandle& a, const StringHandle& b);
// Case-insensitive comparison of raw byte ranges through the Roman table.
int32_t CompareBytesText(const uint8_t* a, int32_t na, const uint8_t* b, int32_t nb);
// Brings a and b to an encoding in which both can be joined; may replace them.
uint32_t StringCommonEncoding(StringHandle& a, StringHandle& b);
