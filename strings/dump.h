// The runtime's general allocator: pool blocks with a guarded 8-byte header.
#pragma once

#include <cstdint>

// A block of size bytes that must be obtained (memory is not cleared).
void* RuntimeMemAlloc(int32_t size);
// Checks the guard word in front of the block, then returns it to the pool.
void RuntimeMemFree(void* block);
