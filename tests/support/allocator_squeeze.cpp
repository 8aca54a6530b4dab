#include "tests/support/allocator_squeeze.h"

#include "hostrt/core.h"

bool AllocatorSqueeze::Squeeze()
{
    // Halving sizes take the large free runs first, then the fragments between other blocks.
    for (std::uint32_t size = 1u << 30; size != 0; size >>= 1) {
        while (count < kMaxBlocks && AllocBlock(&blocks[count], size))
            ++count;
    }
    void* probe = nullptr;
    bool exhausted = !AllocBlock(&probe, 1);
    FreeBlock(&probe);
    return exhausted;
}

void AllocatorSqueeze::Release()
{
    while (count > 0)
        FreeBlock(&blocks[--count]);
}
