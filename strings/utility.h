// The small-block memory pool, the growable pointer array and the RAII lock.
#pragma once

#include <windows.h>

#include <cstdint>

// Blocks up to 252 bytes come from per-size free lists in 4-byte classes carved
// from 8,192-byte chunks; larger ones from the process heap. The caller passes
// the size back when freeing. A block that must be obtained (mayFail false)
// and cannot be ends the process with the out-of-memory report.
void* PoolAlloc(int32_t size, bool mayFail);
void PoolFree(void* block, int32_t size);

// Bytes currently handed out by the pooled classes (for tests and figures).
int64_t PoolPooledBytes();

// Ends the process after an allocation that had to succeed failed.
[[noreturn]] void RuntimeOutOfMemory(bool heapBlock);

// Test seam: makes the next n heap requests of the pool fail.
void PoolFailNextHeapRequests(int n);

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    ~CriticalSectionLock() { LeaveCriticalSection(&cs_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

// Growable array of pointers: when full, the capacity grows by the increment
// or, when that is 0, by the current size, but by at least 16.
class PointerArray {
public:
    explicit PointerArray(int32_t increment = 0) : increment_(increment) {}
    ~PointerArray();
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;

    void Append(void* item);
    void RemoveAt(int32_t index);
    void Clear() { count_ = 0; }
    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    void* At(int32_t index) const { return items_[index]; }

private:
    void** items_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    int32_t increment_;
};
