#include "fuzz/alloc_fault.h"

#include <cstddef>

namespace {

// Only the fuzz target's thread allocates through the core allocator.
std::uint32_t failAt = 0;
std::uint32_t made = 0;

} // namespace

extern "C" void* __real_malloc(std::size_t size);

// The names the linker's --wrap=malloc gives to the redirected call and to the real function.
extern "C" void* __wrap_malloc(std::size_t size)
{
    return ++made == failAt ? nullptr : __real_malloc(size);
}

void ArmAllocationFault(std::uint32_t nth)
{
    failAt = nth;
    made = 0;
}

void DisarmAllocationFault()
{
    failAt = 0;
}

std::uint32_t AllocationsSinceArm()
{
    return made;
}
