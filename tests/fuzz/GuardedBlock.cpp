#include "tests/fuzz/GuardedBlock.h"

#include <windows.h>

#include <cstring>

namespace {
constexpr uint32_t kPage = 4096;
constexpr uint8_t kPattern = 0xA5;
}  // namespace

GuardedBlock::GuardedBlock(const uint8_t* bytes, uint32_t size) : size_(size) {
    const uint32_t pages = (size + kPage - 1) / kPage;
    base_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, (pages + 2) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base_) return;
    DWORD old;
    VirtualProtect(base_, kPage, PAGE_NOACCESS, &old);
    VirtualProtect(base_ + (pages + 1) * kPage, kPage, PAGE_NOACCESS, &old);
    data_ = base_ + (pages + 1) * kPage - size;
    std::memset(base_ + kPage, kPattern, size_t(data_ - (base_ + kPage)));
    if (size) std::memcpy(data_, bytes, size);
}

GuardedBlock::~GuardedBlock() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
}

bool GuardedBlock::Intact() const {
    for (const uint8_t* p = base_ + kPage; p < data_; ++p)
        if (*p != kPattern) return false;
    return true;
}
