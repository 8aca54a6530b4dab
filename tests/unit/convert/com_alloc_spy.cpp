#include "tests/unit/convert/com_alloc_spy.h"

#include "tests/support/task_memory.h"

std::int64_t OutstandingComBlocks()
{
    EXPECT_TRUE(CountTaskMemory()) << "CoRegisterMallocSpy";
    return LiveTaskMemory().blocks;
}
