#include "strings/utility.h"

#include <cstring>

#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"

namespace {

constexpr int32_t kClassCount = 64;   // classes 1..63 are pooled, 64 and up go to the heap
constexpr int32_t kChunkSize = 8192;

struct FreeBlock {
    FreeBlock* next;
};

FreeBlock* gFreeLists[kClassCount];
uint8_t* gChunkNext = nullptr;
int32_t gChunkLeft = 0;
int64_t gPooledBytes = 0;
int gFailHeapRequests = 0;

void* HeapRequest(SIZE_T bytes) {
    if (gFailHeapRequests > 0) {
        --gFailHeapRequests;
        return nullptr;
    }
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

// Held as a length-prefixed text, as the fatal-message hook expects.
const unsigned char kOutOfMemoryText[] =
    "\x39" "This application has run out of memory and must quit now.";

// The fatal-message hook displays nothing in this system.
void FatalMessageHook(const unsigned char* /*pascalText*/) {}

}  // namespace

void PoolFailNextHeapRequests(int n) { gFailHeapRequests = n; }

int64_t PoolPooledBytes() {
    CriticalSectionLock lock(gPoolLock);
    return gPooledBytes;
}

void RuntimeOutOfMemory(bool heapBlock) {
    // The drawing port that is current would be released here once drawing exists.
    FatalMessageHook(kOutOfMemoryText);
    if (heapBlock) RUNTIME_FIXED_REPORT(kReportPoolHeapFree);
    ExitProcess(0);
}

void* PoolAlloc(int32_t size, bool mayFail) {
    if (size <= 0) return nullptr;
    int32_t cls = (size + 3) / 4;
    if (cls >= kClassCount) {
        void* block = HeapRequest(size);
        if (!block && !mayFail) RuntimeOutOfMemory(true);
        return block;
    }
    void* block = nullptr;
    {
        CriticalSectionLock lock(gPoolLock);
        if (FreeBlock* head = gFreeLists[cls]) {
            gFreeLists[cls] = head->next;
            block = head;
        } else {
            int32_t bytes = cls * 4;
            if (gChunkLeft < bytes) {
                // The rest of the old chunk is abandoned.
                uint8_t* chunk = static_cast<uint8_t*>(HeapRequest(kChunkSize));
                if (chunk) {
                    gChunkNext = chunk;
                    gChunkLeft = kChunkSize;
                }
            }
            if (gChunkLeft >= bytes) {
                block = gChunkNext;
                gChunkNext += bytes;
                gChunkLeft -= bytes;
            }
        }
        if (block) gPooledBytes += size;
    }
    if (!block && !mayFail) RuntimeOutOfMemory(false);
    return block;
}

void PoolFree(void* block, int32_t size) {
    // No class fits a size of 0 or less: leaking the block beats indexing outside the lists.
    if (!block || size <= 0) return;
    int32_t cls = (size + 3) / 4;
    if (cls >= kClassCount) {
        HeapFree(GetProcessHeap(), 0, block);
        return;
    }
    CriticalSectionLock lock(gPoolLock);
    gPooledBytes -= size;
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    freed->next = gFreeLists[cls];
    gFreeLists[cls] = freed;
}

PointerArray::~PointerArray() { PoolFree(items_, capacity_ * int32_t(sizeof(void*))); }

void PointerArray::Append(void* item) {
    if (count_ == capacity_) {
        int32_t grow = increment_ ? increment_ : capacity_;
        if (grow < 16) grow = 16;
        int32_t capacity = capacity_ + grow;
        void** items = static_cast<void**>(PoolAlloc(capacity * int32_t(sizeof(void*)), false));
        if (count_) std::memcpy(items, items_, count_ * sizeof(void*));
        PoolFree(items_, capacity_ * int32_t(sizeof(void*)));
        items_ = items;
        capacity_ = capacity;
    }
    items_[count_++] = item;
}

void PointerArray::RemoveAt(int32_t index) {
    if (index < 0 || index >= count_) return;
    std::memmove(items_ + index, items_ + index + 1, (count_ - index - 1) * sizeof(void*));
    --count_;
}
