// Little-endian access to byte buffers and whole-file input and output for
// the host tools. Readers take an explicit size: callers check bounds first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvtools {

inline uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

inline uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void Write32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline void Append8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

inline void Append32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    Write32(b, v);
    out.insert(out.end(), b, b + 4);
}

// True when [offset, offset + count) lies inside a buffer of size bytes.
inline bool InBounds(uint64_t size, uint64_t offset, uint64_t count) {
    return offset <= size && count <= size - offset;
}

std::string Hex(uint64_t v);

bool ReadFile(const std::string& path, std::vector<uint8_t>& out, std::string& error);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace orvtools
