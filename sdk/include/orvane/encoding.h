// Text encoding identifiers: a 32-bit value with a base in bits 0-15, a
// variant in bits 16-25 and a format in bits 26-31. Shared by the runtime,
// module code and the host tools; C and C++.
#pragma once

#include <stdint.h>

static const uint32_t kEncodingUnknown = 0xFFFFu;
static const uint32_t kEncodingASCII = 0x0600u;
static const uint32_t kEncodingUTF16 = 0x0100u;
static const uint32_t kEncodingUTF8 = 0x08000100u;

static inline uint32_t EncodingBase(uint32_t encoding) { return encoding & 0xFFFFu; }
static inline uint32_t EncodingVariant(uint32_t encoding) { return (encoding >> 16) & 0x3FFu; }
static inline uint32_t EncodingFormat(uint32_t encoding) { return (encoding >> 26) & 0x3Fu; }
// The identifier of (base, variant, format). A base that is already a full
// identifier keeps its upper bits.
static inline uint32_t EncodingCompose(uint32_t base, uint32_t variant, uint32_t format) {
    return base | (variant & 0x3FFu) << 16 | (format & 0x3Fu) << 26;
}
