// A copy of a block between two inaccessible pages, its last byte against the
// second one, so that any read or write past its end faults at once. The
// slack between the first page and the block (pages are 4,096 bytes) holds a
// pattern that Intact() checks, so a write just before the block shows too.
#pragma once

#include <cstdint>

class GuardedBlock {
public:
    GuardedBlock(const uint8_t* bytes, uint32_t size);
    ~GuardedBlock();
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    bool Valid() const { return base_ != nullptr; }
    uint8_t* Data() const { return data_; }
    uint32_t Size() const { return size_; }
    bool Intact() const;

private:
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
};
