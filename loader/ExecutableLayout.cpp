// Reads only what it needs of the PE headers: the file header's section and
// symbol counts, the optional header's header size and the section table.
#include "loader/ExecutableLayout.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSymbolSize = 18;
constexpr uint32_t kSizeOfHeadersField = 60;  // in the optional header, PE32 and PE32+ alike

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Exactly n bytes at offset, or false.
bool ReadAt(HANDLE file, uint64_t offset, uint8_t* buffer, uint32_t n) {
    LARGE_INTEGER seek;
    seek.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file, seek, nullptr, FILE_BEGIN)) return false;
    while (n > 0) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, n, &got, nullptr) || got == 0) return false;
        buffer += got;
        n -= got;
    }
    return true;
}

}  // namespace

bool ExecutableOwnBytesEnd(void* handle, uint64_t& end) {
    HANDLE file = static_cast<HANDLE>(handle);
    uint8_t dos[64];
    if (!ReadAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint64_t pe = Get32(dos + 0x3C);
    uint8_t header[4 + kFileHeaderSize];  // the signature "PE\0\0" and the file header
    if (!ReadAt(file, pe, header, sizeof header) || Get32(header) != 0x00004550u) return false;
    const uint32_t sectionCount = Get16(header + 4 + 2);
    const uint64_t symbolTable = Get32(header + 4 + 8);
    const uint64_t symbolCount = Get32(header + 4 + 12);
    const uint32_t optionalSize = Get16(header + 4 + 16);
    const uint64_t optional = pe + 4 + kFileHeaderSize;
    uint8_t sizeOfHeaders[4];
    if (optionalSize < kSizeOfHeadersField + 4 ||
        !ReadAt(file, optional + kSizeOfHeadersField, sizeOfHeaders, 4))
        return false;
    const uint64_t sectionTable = optional + optionalSize;
    end = std::max<uint64_t>(Get32(sizeOfHeaders),
                             sectionTable + uint64_t(sectionCount) * kSectionHeaderSize);
    for (uint32_t i = 0; i < sectionCount; ++i) {
        uint8_t section[kSectionHeaderSize];
        if (!ReadAt(file, sectionTable + uint64_t(i) * kSectionHeaderSize, section, sizeof section))
            return false;
        const uint32_t rawSize = Get32(section + 16);
        if (rawSize > 0) end = std::max<uint64_t>(end, uint64_t(Get32(section + 20)) + rawSize);
    }
    if (symbolTable != 0 && symbolCount != 0) {
        // The string table follows the symbols and starts with its own size.
        const uint64_t strings = symbolTable + symbolCount * kSymbolSize;
        uint8_t size[4];
        const uint64_t stringsSize = ReadAt(file, strings, size, 4) ? Get32(size) : 0;
        end = std::max(end, strings + std::max<uint64_t>(stringsSize, 4));
    }
    return true;
}
