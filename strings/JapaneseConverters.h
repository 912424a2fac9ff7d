// Byte converters between Shift_JIS and the two other Japanese encodings,
// EUC-JP and ISO-2022-JP, by the JIS X 0208 <-> Shift_JIS arithmetic.
//
// Each takes n input bytes and writes its output to out; with out nil it only
// counts. The result is the number of output bytes either way, so a caller
// counts once, allocates once and converts. One pass, no allocation.
#pragma once

#include <cstdint>

// EUC-JP: a pair of bytes 0xA1-0xFE is JIS + 0x80 on each byte; 0x8E and a
// byte 0xA1-0xDF is that half-width katakana byte; other bytes are copied.
int32_t EucJpToShiftJis(const uint8_t* in, int32_t n, uint8_t* out);
// ISO-2022-JP: escape sequences select single bytes, half-width katakana or
// two-byte JIS; CR and LF return to single bytes. The escapes are dropped.
int32_t Iso2022JpToShiftJis(const uint8_t* in, int32_t n, uint8_t* out);
int32_t ShiftJisToEucJp(const uint8_t* in, int32_t n, uint8_t* out);
// ESC $ B before a run of two-byte characters, ESC ( I before half-width
// katakana (written as byte - 0x80), ESC ( J to return, also before CR and LF
// and at the end.
int32_t ShiftJisToIso2022Jp(const uint8_t* in, int32_t n, uint8_t* out);

// The Shift_JIS pair of a JIS X 0208 pair (each byte 0x21-0x7E), and back.
void JisToShiftJis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2);
void ShiftJisToJis(uint8_t s1, uint8_t s2, uint8_t& j1, uint8_t& j2);
// A Shift_JIS lead byte of the JIS X 0208 rows, and a valid trail byte.
inline bool IsShiftJisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF); }
inline bool IsShiftJisTrail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
inline bool IsHalfWidthKatakana(uint8_t b) { return b >= 0xA1 && b <= 0xDF; }
