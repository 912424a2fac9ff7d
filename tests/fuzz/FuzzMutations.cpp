#include "tests/fuzz/FuzzMutations.h"

#include <algorithm>

uint32_t InterestingNumber(FuzzRandom& random, uint32_t boundary) {
    switch (Below(random, 8)) {
        case 0: return 0;
        case 1: return boundary;
        case 2: return boundary + 1 - Below(random, 5);  // boundary - 3 ... boundary + 1
        case 3: return boundary + Below(random, 64);
        case 4: return 0x7FFFFFFFu + Below(random, 3);
        case 5: return 0xFFFFFFFFu - Below(random, 32);
        case 6: return Below(random, boundary + 1);
        default: return uint32_t(random());
    }
}

void MutateBytes(FuzzBytes& bytes, FuzzRandom& random, size_t maxSize) {
    const uint32_t size = uint32_t(bytes.size());
    const uint32_t at = Below(random, size);
    switch (Below(random, 7)) {
        case 0:  // bit flip
            if (size) bytes[at] ^= uint8_t(1u << Below(random, 8));
            break;
        case 1: {  // byte set
            static const uint8_t kBytes[] = {0, 1, 2, 3, 4, 5, 0x7F, 0x80, 0xFE, 0xFF};
            if (size) bytes[at] = OneIn(random, 2) ? kBytes[Below(random, sizeof kBytes)] : uint8_t(random());
            break;
        }
        case 2:  // truncation
            bytes.resize(Below(random, size + 1));
            break;
        case 3: {  // insertion of fresh bytes
            FuzzBytes fresh(1 + Below(random, OneIn(random, 8) ? 4096 : 16));
            for (uint8_t& b : fresh) b = uint8_t(random());
            bytes.insert(bytes.begin() + (size ? Below(random, size + 1) : 0), fresh.begin(), fresh.end());
            break;
        }
        case 4: {  // erasure
            const uint32_t n = std::min(size - at, 1 + Below(random, 64));
            if (size) bytes.erase(bytes.begin() + at, bytes.begin() + at + n);
            break;
        }
        case 5: {  // duplication of a stretch
            if (!size) break;
            const uint32_t n = std::min(size - at, 1 + Below(random, 256));
            FuzzBytes copy(bytes.begin() + at, bytes.begin() + at + n);
            bytes.insert(bytes.begin() + Below(random, size + 1), copy.begin(), copy.end());
            break;
        }
        default:  // a huge or boundary number
            if (size >= 4) Write32(&bytes[Below(random, size - 3)], InterestingNumber(random, size));
            break;
    }
    if (bytes.size() > maxSize) bytes.resize(maxSize);
}
