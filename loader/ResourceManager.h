// The module's resource records, kept as (type, id, data, length, file offset).
#pragma once

#include <cstdint>

#include "strings/utility.h"

struct ModuleResource {
    uint32_t type;  // four-character code, as read (little-endian u32)
    uint16_t id;
    const uint8_t* data;  // inside the resource block
    uint32_t length;
    uint32_t fileOffset;  // of the data in the executable; 0 in development mode
};

constexpr uint32_t FourCharCode(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
           uint32_t(uint8_t(c[2])) << 8 | uint32_t(uint8_t(c[3]));
}

class WindowsResourceManager {
public:
    static WindowsResourceManager& Instance();

    void Register(uint32_t type, uint16_t id, const uint8_t* data, uint32_t length,
                  uint32_t fileOffset);
    int32_t Count() const { return entries_.Count(); }
    const ModuleResource& At(int32_t index) const {
        return *static_cast<const ModuleResource*>(entries_.At(index));
    }
    // Forgets every entry (tests).
    void Reset();

private:
    PointerArray entries_{16};
};
