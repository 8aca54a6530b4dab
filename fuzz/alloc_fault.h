#pragma once
// Fuzzing build only: the targets are linked with --wrap=malloc, so that the malloc calls of the
// statically linked code come here first. Among them only the core allocator's run while a fault is
// armed (the C++ runtime's allocations call malloc from inside the shared library, which the wrap
// does not reach), so a target can make one chosen AllocBlock fail and follow every out-of-memory
// path of the load.

#include <cstdint>

// From now on the nth allocation (1: the next one) fails, once; 0: none fails.
void ArmAllocationFault(std::uint32_t nth);
void DisarmAllocationFault();
// Allocations asked for since the last ArmAllocationFault.
std::uint32_t AllocationsSinceArm();
