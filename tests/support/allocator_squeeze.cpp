#include "tests/support/allocator_squeeze.h"

#include "hostrt/core.h"

namespace {

bool RefuseEveryBlock(std::uint32_t)
{
    return false;
}

} // namespace

bool AllocatorSqueeze::Squeeze()
{
    SetAllocationGate(RefuseEveryBlock);
    closed = true;
    void* probe = nullptr;
    bool refused = !AllocBlock(&probe, 1);
    FreeBlock(&probe);
    return refused;
}

void AllocatorSqueeze::Release()
{
    if (!closed) return;
    SetAllocationGate(nullptr);
    closed = false;
}
