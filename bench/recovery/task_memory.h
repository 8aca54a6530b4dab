#pragma once
// COM task memory of this process, counted by a malloc spy registered for the program's life: the blocks
// allocated through CoTaskMemAlloc (BSTRs, SAFEARRAYs, the arrays servers return) and not yet freed.
// Blocks from before the spy are not counted. Exact only with OANOCACHE=1 (the BSTR cache off).

#include <cstdint>

// Registers the spy; false when COM refused it.
bool StartTaskMemoryCount();
std::int64_t LiveTaskBlocks();
