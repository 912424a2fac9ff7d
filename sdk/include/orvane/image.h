// The module image as the module builder writes it and the loader reads it:
// the import record types and modes, and the layout of a string literal in
// the data block. Byte offsets, not host structs: the host tools read and
// write these records too. C and C++.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#define ORVANE_IMAGE_CONSTEXPR constexpr
#else
#define ORVANE_IMAGE_CONSTEXPR
#endif

// ---- Import records ---------------------------------------------------------------
// Each record of the import block starts with one type byte; integers are
// little-endian, names one length byte, the bytes, then a NUL. A chain is a
// list of code sites threaded through the code block: each site holds the
// code offset of the next, 0 ending it.

enum OrvaneImportType {
    kImportEntryPoint = 1,  // u8 mode, u32 first site, name: a runtime entry point by name
    kImportData = 2,        // u32 site: add the data base to the u32 at the site
    kImportCode = 3,        // u32 site: add the code base to the u32 at the site
    kImportLibrary = 4,     // u32 first site, routine name, library name: an external routine
    kImportLiteral = 5      // u32 site: a string literal (data base added, text pointer fixed)
};

// Modes of an entry-point chain: a call site receives a rel32 displacement;
// any other mode stores the absolute address.
enum OrvaneImportMode {
    kImportModeAbsolute = 0,
    kImportModeCall = 1
};

// ---- String literals in the data block ---------------------------------------------
// A complete string value record, 4-byte aligned: the five fields, then the
// length byte, the text and a NUL. The loader points text at the length byte.

static const uint32_t kLiteralRefCountAt = 0;    // u32, 1
static const uint32_t kLiteralTextAt = 4;        // u32, 0 in the file
static const uint32_t kLiteralCapacityAt = 8;    // u32, length + 2
static const uint32_t kLiteralLengthAt = 12;     // u32, bytes of text
static const uint32_t kLiteralEncodingAt = 16;   // u32, UTF-8 or ASCII
static const uint32_t kLiteralLengthByteAt = 20; // u8, the length (255 for 255 and longer)
static const uint32_t kLiteralBytesAt = 21;      // the text, then a NUL
// The record before its text: the string value's fields and the length byte.
static const uint32_t kLiteralHeaderSize = 21;

// Bytes of a literal record with length bytes of text, padding included.
static inline ORVANE_IMAGE_CONSTEXPR uint64_t LiteralRecordSize(uint64_t length) {
    return (kLiteralHeaderSize + length + 1 + 3) & ~(uint64_t)3;
}
