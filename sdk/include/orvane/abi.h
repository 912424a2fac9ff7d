// Byte layouts shared by the runtime and compiled module code.
// Module code reads and writes these fields at fixed offsets, so every layout
// here is a contract: the static_asserts pin it for the i686 target.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Text encoding identifiers: base in bits 0-15, variant in 16-25, format in 26-31.
static const uint32_t kEncodingUnknown = 0xFFFFu;
static const uint32_t kEncodingASCII = 0x0600u;
static const uint32_t kEncodingUTF16 = 0x0100u;
static const uint32_t kEncodingUTF8 = 0x08000100u;

// One string value. The empty string is the nil pointer: no record has length 0.
// text[0] is the length byte (length, or 255 for 255 and longer), text[1..length]
// the bytes, then one NUL (two for UTF-16).
typedef struct StringValue {
    int32_t refCount;   // references; 1 when made
    uint8_t* text;      // the buffer; operations hand out text + 1
    int32_t capacity;   // allocated bytes of the buffer (length + 2 for byte text)
    int32_t length;     // bytes of text (UTF-16: twice the code units)
    uint32_t encoding;  // encoding identifier
} StringValue;

// The common header of every object (its fields are described with the object model).
typedef struct ObjectHeader ObjectHeader;

#ifdef __cplusplus
}
#endif

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(void*) == 4, "the module ABI is 32-bit");
static_assert(offsetof(StringValue, refCount) == 0, "StringValue.refCount");
static_assert(offsetof(StringValue, text) == 4, "StringValue.text");
static_assert(offsetof(StringValue, capacity) == 8, "StringValue.capacity");
static_assert(offsetof(StringValue, length) == 12, "StringValue.length");
static_assert(offsetof(StringValue, encoding) == 16, "StringValue.encoding");
static_assert(sizeof(StringValue) == 20, "StringValue size");
#endif
