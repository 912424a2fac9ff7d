#include "ByteIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvtools {

std::string Hex(uint64_t v) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(v));
    return buffer;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = path + ": read error";
        return false;
    }
    return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": cannot create: " + std::strerror(errno);
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        error = path + ": write error";
        return false;
    }
    return true;
}

}  // namespace orvtools
