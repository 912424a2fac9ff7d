// String literals of module code: each is a complete string value record,
// made at compile time and placed in the literal section, where the module
// builder finds it, checks it and merges equal records of all objects.
// The loader points text at the length byte; refCount starts at 1 and the
// record lives in the data block, so a literal is never freed.
//
//   ORVANE_LITERAL(kTitle, "Route map");          // UTF-8 text
//   ORVANE_ASCII_LITERAL(kWindowName, "Window");   // names of intrinsic classes and members
//   RuntimeLockString(ORVANE_STR(kTitle));         // the StringValue*
//
// Use at namespace scope or inside a function (the macro makes it static).
// Every use of one name refers to one record; a header's literal appears once
// per object and the builder folds equal records into one.
#pragma once

#include "orvane/abi.h"
#include "orvane/image.h"

#ifndef __cplusplus
#error "orvane/literal.h is C++17"
#endif

// The builder's literal section. Nothing else may be put in it.
#define ORVANE_LITERAL_SECTION ".orvlit"

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 10
#define ORVANE_CONSTINIT __constinit
#elif defined(__cpp_constinit)
#define ORVANE_CONSTINIT constinit
#else
#define ORVANE_CONSTINIT
#endif

namespace orvane {

// The record as it lies in the data block: the string value, then its text
// buffer (length byte, N - 1 text bytes, NUL). The loader sets value.text.
template <size_t N>
struct alignas(4) LiteralRecord {
    StringValue value;
    uint8_t lengthByte;
    char bytes[N];
};

#if defined(__i386__)
static_assert(offsetof(LiteralRecord<2>, value) == kLiteralRefCountAt, "literal record: string value first");
static_assert(offsetof(StringValue, text) == kLiteralTextAt, "literal record: text pointer");
static_assert(offsetof(StringValue, capacity) == kLiteralCapacityAt, "literal record: capacity");
static_assert(offsetof(StringValue, length) == kLiteralLengthAt, "literal record: length");
static_assert(offsetof(StringValue, encoding) == kLiteralEncodingAt, "literal record: encoding");
static_assert(offsetof(LiteralRecord<2>, lengthByte) == kLiteralLengthByteAt, "literal record: length byte");
static_assert(offsetof(LiteralRecord<2>, bytes) == kLiteralBytesAt, "literal record: text");
static_assert(sizeof(LiteralRecord<4>) == LiteralRecordSize(3), "literal record: padded to 4 bytes");
#endif

namespace literal_detail {

// Deliberately not constexpr: reaching it makes the literal's constant
// initialisation fail, which turns a bad ASCII literal into a compile error.
void AsciiLiteralHasNonAsciiByte();

template <size_t N>
constexpr LiteralRecord<N> Make(const char (&text)[N], uint32_t encoding) {
    static_assert(N >= 2, "the empty string is nil: there is no empty literal");
    LiteralRecord<N> r{};
    r.value.refCount = 1;
    r.value.text = nullptr;
    r.value.capacity = int32_t(N + 1);  // length + 2
    r.value.length = int32_t(N - 1);
    r.value.encoding = encoding;
    r.lengthByte = uint8_t(N - 1 < 256 ? N - 1 : 255);
    for (size_t i = 0; i < N; ++i) {
        if (encoding == kEncodingASCII && (static_cast<unsigned char>(text[i]) & 0x80u))
            AsciiLiteralHasNonAsciiByte();
        r.bytes[i] = text[i];
    }
    return r;
}

}  // namespace literal_detail
}  // namespace orvane

#define ORVANE_LITERAL_AS(name, text, encoding)                                            \
    __attribute__((section(ORVANE_LITERAL_SECTION), aligned(4))) static ORVANE_CONSTINIT \
        ::orvane::LiteralRecord<sizeof(text)>                                             \
            name = ::orvane::literal_detail::Make(text, encoding)

#define ORVANE_LITERAL(name, text) ORVANE_LITERAL_AS(name, text, kEncodingUTF8)
#define ORVANE_ASCII_LITERAL(name, text) ORVANE_LITERAL_AS(name, text, kEncodingASCII)

namespace orvane {
// The record's text pointer is written by the loader, after the compiler has
// seen the record's initial bytes. Handing the address through an empty asm
// keeps the compiler from reading fields at fixed addresses of the record
// (which the loader does not fix) or folding them to their initial values:
// every use takes the record's own address, which the loader fixes.
inline StringValue* LinkedLiteral(StringValue* record) {
    __asm__("" : "+r"(record));
    return record;
}
}  // namespace orvane

// The StringValue* of a literal.
#define ORVANE_STR(name) (::orvane::LinkedLiteral(&(name).value))
