// Fuzz target: LoadParameterFile end to end over the input, then the channel table's Clear; then once
// more with one of the load's allocations failing, chosen by the input's bytes, so that over a run
// every out-of-memory path of the load is taken with every kind of file.
#include "fuzz/fuzz_entry.h"

#include "fuzz/alloc_fault.h"
#include "fuzz/param_exercise.h"

namespace {

std::uint32_t allocationsOfLoad = 0;

void CountAllocations()
{
    allocationsOfLoad = AllocationsSinceArm();
}

// Deterministic, so that a crashing input shows the same fault when it is replayed.
std::uint32_t FaultPosition(const std::uint8_t* data, std::size_t size, std::uint32_t allocations)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return 1 + hash % allocations;
}

} // namespace

const char* RunTarget(const std::uint8_t* data, std::size_t size, const wchar_t* path)
{
    LoadOutcome outcome;
    ArmAllocationFault(0);
    const char* broken = ExerciseLoad(path, outcome, CountAllocations);
    if (broken != nullptr) return broken;
    // The load always copies the file name first, so no allocation means the counter is not wired up.
    if (allocationsOfLoad == 0) return "the allocation fault hook sees no allocation";
    ArmAllocationFault(FaultPosition(data, size, allocationsOfLoad));
    LoadOutcome faulted;
    broken = ExerciseLoad(path, faulted, DisarmAllocationFault);
    DisarmAllocationFault();
    if (broken == nullptr && faulted.loaded)
        broken = "a load succeeded although one of its allocations failed";
    return broken;
}
