// Per-encoding character tables and the byte searches the string functions share.
#pragma once

#include <cstdint>

#include "strings/string.h"

// Byte tables of one encoding, built on first use and kept for the process.
struct CharacterTables {
    uint8_t lead[256];   // 1 for a lead byte of a double-byte character
    uint8_t upper[256];  // single-byte encodings only; zero otherwise
    uint8_t lower[256];
    uint8_t cls[256];    // bit 0: space or blank
    uint8_t doubleByte;  // 1 when any lead byte exists
};

// Windows code page of an encoding, 0 when it has none.
uint32_t EncodingCodePage(uint32_t encoding);
// Has a code page the platform accepts (Unicode and Japanese pseudo pages always).
bool EncodingIsUsable(uint32_t encoding);
// The encoding of the user's language; what the tables use for unknown text.
uint32_t SystemEncoding();

// Makes the encoding's tables current; true for a double-byte encoding. An
// encoding without usable tables keeps the current ones and gives false.
bool SelectCharacterTables(uint32_t encoding);
const CharacterTables& CurrentCharacterTables();

// StringInStrB on raw bytes: 1-based position of find at or after start, or 0.
int32_t InStrBytes(int32_t start, const uint8_t* s, int32_t n, const uint8_t* find, int32_t m);

// Decodes one UTF-8 code point; a sequence cut short takes zero bits.
uint32_t Utf8Next(const uint8_t*& p, const uint8_t* end);
// Encodes cp (up to 0x1FFFFF) into out (may be null); gives the byte count.
int32_t Utf8Put(uint32_t cp, uint8_t* out);
