#pragma once
// Counts the COM task-memory blocks (BSTRs, SAFEARRAYs and their data) allocated and not yet freed,
// through the process's malloc spy (tests/support/task_memory.h), installed on first use. OLE Automation
// keeps freed BSTRs in a cache unless OANOCACHE is set when the process starts, so the count is only
// exact with OANOCACHE=1 (BstrCacheIsOff).

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/task_memory.h"

// Blocks allocated since the spy was installed and not yet freed.
std::int64_t OutstandingComBlocks();
