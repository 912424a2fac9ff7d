#include "strings/dump.h"

#include "startup/AssertionReport.h"
#include "strings/utility.h"

namespace {
constexpr uint32_t kGuardLive = 0xDEADBEEFu;
constexpr uint32_t kGuardFreed = 0xDEADDEADu;

struct BlockHeader {
    int32_t size;
    uint32_t guard;
};
static_assert(sizeof(BlockHeader) == 8, "general allocator header");
}  // namespace

void* RuntimeMemAlloc(int32_t size) {
    if (size < 0) size = 0;
    BlockHeader* header = static_cast<BlockHeader*>(PoolAlloc(size + 8, false));
    header->size = size;
    header->guard = kGuardLive;
    return header + 1;
}

void RuntimeMemFree(void* block) {
    if (!block) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    if (header->guard != kGuardLive)
        RuntimeAssertionReport(0, 0, __FILE__, __LINE__, "header->guard == 0xDEADBEEF",
                               "overwrote start of block");
    header->guard = kGuardFreed;
    PoolFree(header, header->size + 8);
}
