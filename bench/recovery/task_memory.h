#pragma once
// COM task memory of this process, counted by a malloc spy registered for the program's life: the blocks
// and bytes allocated through CoTaskMemAlloc (and the proxies' own allocations) and not yet freed.

#include <cstdint>

// Registers the spy; false when COM refused it (another spy, or COM not initialised in this thread).
bool StartTaskMemoryCount();
std::int64_t LiveTaskBlocks();
std::int64_t LiveTaskBytes();
