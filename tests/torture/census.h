#pragma once
// What the host's process holds, taken before an episode and compared after it: the driver's windows,
// the threads, the kernel handles and COM's task memory must all come back.

#include <cstdint>

#include "tests/support/task_memory.h"
#include "tests/torture/episode_state.h"

struct Census {
    std::uint32_t windows = 0;
    std::uint32_t threads = 0;
    std::uint32_t handles = 0;
    TaskMemory taskMemory{};
};

Census TakeCensus();
// Waits (running the host's loop) for everything to come back to start, then reports what did not.
// handleAllowance: handles Wine keeps for the life of the process, which the driver cannot give back.
void CheckCameBack(Episode& episode, const Census& start, std::uint32_t handleAllowance);
