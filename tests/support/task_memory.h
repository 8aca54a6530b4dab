#pragma once
// COM task memory counted for the whole process: a malloc spy (CoRegisterMallocSpy) keeps the blocks
// that COM's task allocator handed out since the spy was registered and not yet got back. That covers
// CoTaskMemAlloc and everything COM allocates with it: the arrays a proxy unmarshals for [out]
// parameters (the errors of an asynchronous call, the states of a synchronous read, a server's status
// record), and, with the BSTR cache off (OANOCACHE=1), BSTRs and SAFEARRAYs. Blocks from before the
// registration are not counted, nor the [in] VARIANT arrays that Wine's stubs leave behind after an
// incoming call (task_memory.cpp says how they are recognised). The spy is never revoked.

#include <cstdint>

#include <gtest/gtest.h>

struct TaskMemory {
    std::int64_t blocks;
    std::int64_t bytes;
};

inline bool operator==(const TaskMemory& a, const TaskMemory& b)
{
    return a.blocks == b.blocks && a.bytes == b.bytes;
}

// Registers the spy the first time; true when it counts (registered now or before).
bool CountTaskMemory();
// The counted blocks alive now; zeros when the spy is not registered.
TaskMemory LiveTaskMemory();
// The blocks Wine's stubs left behind since the spy was registered (not counted above).
TaskMemory WineStubLeftovers();

// Fails unless the BSTR cache is off (OANOCACHE set when the process started): the cache keeps freed
// BSTRs for reuse, which would never be counted as freed.
::testing::AssertionResult BstrCacheIsOff();

// Success as soon as the live task memory is back at start (COM frees some blocks a little after the
// call that ended their use, so messages are pumped meanwhile); failure with both figures after
// timeoutMs.
::testing::AssertionResult TaskMemoryCameBack(const TaskMemory& start, std::uint32_t timeoutMs = 5000);
