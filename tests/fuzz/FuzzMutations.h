// Byte-level damage shared by the targets: bit flips, byte sets, truncation,
// insertion, erasure, duplication and huge 32-bit numbers.
#pragma once

#include <cstdint>

#include "tests/fuzz/FuzzTarget.h"

inline uint32_t Below(FuzzRandom& random, uint32_t n) { return n ? uint32_t(random() % n) : 0; }
inline bool OneIn(FuzzRandom& random, uint32_t n) { return Below(random, n) == 0; }

inline uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Write32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void Append32(FuzzBytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A number that tends to sit on an edge: 0, at or just around boundary, near 2^31 or 2^32,
// or anything.
uint32_t InterestingNumber(FuzzRandom& random, uint32_t boundary);

// One byte-level mutation of bytes, which stays at most maxSize long.
void MutateBytes(FuzzBytes& bytes, FuzzRandom& random, size_t maxSize);
