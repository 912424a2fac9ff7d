#include "strings/dump.h"

#include "startup/AssertionReport.h"
#include "strings/utility.h"

namespace {
constexpr uint32_t kGuardLive = 0xDEADBEEFu;
constexpr uint32_t kGuardFreed = 0xDEADDEADu;
constexpr int32_t kHeaderSize = 8;

struct BlockHeader {
    int32_t size;
    uint32_t guard;
};
static_assert(sizeof(BlockHeader) == kHeaderSize, "general allocator header");
}  // namespace

void* RuntimeMemAlloc(int32_t size) {
    if (size < 0) size = 0;
    // A size the header cannot be added to cannot be satisfied either.
    if (size > INT32_MAX - kHeaderSize) RuntimeOutOfMemory(true);
    BlockHeader* header = static_cast<BlockHeader*>(PoolAlloc(size + kHeaderSize, false));
    header->size = size;
    header->guard = kGuardLive;
    return header + 1;
}

void RuntimeMemFree(void* block) {
    if (!block) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    uint32_t guard = header->guard;
    if (guard != kGuardLive)
        RuntimeAssertionReport(0, 0, __FILE__, __LINE__, "header->guard == 0xDEADBEEF",
                               "overwrote start of block");
    // A block freed before already sits on a free list, its size word now the
    // list link: freeing it again would loop the list.
    if (guard == kGuardFreed) return;
    header->guard = kGuardFreed;
    if (header->size >= 0 && header->size <= INT32_MAX - kHeaderSize)
        PoolFree(header, header->size + kHeaderSize);
}
