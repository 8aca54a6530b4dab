#pragma once
// Counts the COM task-memory blocks (BSTRs, SAFEARRAYs and their data) allocated and not yet freed,
// through an IMallocSpy installed on first use. OLE Automation keeps freed BSTRs in a cache unless
// OANOCACHE is set when the process starts, so the count is only exact with OANOCACHE=1.

#include <gtest/gtest.h>

#include <cstdint>

// Blocks allocated since the spy was installed and not yet freed.
std::int64_t OutstandingComBlocks();

// Fails unless the BSTR cache is off, without which freed BSTRs are never counted as freed.
::testing::AssertionResult BstrCacheIsOff();
