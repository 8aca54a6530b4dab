#include <cstdint>
#include <cstring>
#include <thread>

#include "hostrt/core.h"
#include "tests/support/leak_check.h"

namespace {

using Alloc = LeakCheckedTest;

void* const kSentinel = reinterpret_cast<void*>(0xDEADBEEF);

TEST_F(Alloc, BlockIsCountedUntilFreed)
{
    void* block = kSentinel;
    ASSERT_TRUE(AllocBlock(&block, 100));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, 100); // the whole size is ours to write
    EXPECT_EQ(LiveBlockCount(), blocksBefore + 1);
    EXPECT_EQ(LiveBlockBytes(), bytesBefore + 100);
    FreeBlock(&block);
    EXPECT_EQ(block, nullptr);
}

TEST_F(Alloc, ZeroSizeGivesARealBlock)
{
    void* block = nullptr;
    ASSERT_TRUE(AllocBlock(&block, 0));
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(LiveBlockCount(), blocksBefore + 1);
    FreeBlock(&block);
}

TEST_F(Alloc, BlocksAreAlignedForDoubles)
{
    void* blocks[5] = {};
    for (std::uint32_t i = 0; i < 5; ++i) {
        ASSERT_TRUE(AllocBlock(&blocks[i], i + 1));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks[i]) % 8, 0u) << "size " << i + 1;
    }
    for (void*& block : blocks)
        FreeBlock(&block);
}

TEST_F(Alloc, SizesOfTwoGiBAndAboveFailOnEveryBuild)
{
    // With an 8-byte header, 0xFFFFFFF8 and above would wrap to a tiny block if summed in 32 bits; a
    // 64-bit process would give the others, which no 32-bit host can.
    for (std::uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFF0u, 0xC0000000u, kBlockSizeLimit}) {
        SCOPED_TRACE(size);
        void* block = kSentinel;
        EXPECT_FALSE(AllocBlock(&block, size));
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(LiveBlockCount(), blocksBefore);
    }
}

TEST_F(Alloc, NullPlaceIsRefused)
{
    EXPECT_FALSE(AllocBlock(static_cast<void**>(nullptr), 8));
}

TEST_F(Alloc, FreeIsSafeToRepeatAndOnNull)
{
    void* block = nullptr;
    ASSERT_TRUE(AllocBlock(&block, 16));
    FreeBlock(&block);
    FreeBlock(&block);
    FreeBlock(static_cast<void**>(nullptr));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

TEST_F(Alloc, TypedFormsClearTheTypedPointer)
{
    double* values = nullptr;
    ASSERT_TRUE(AllocBlock(values, 4 * sizeof(double)));
    values[3] = 1.5;
    const double* view = values;
    FreeBlock(view);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

void AllocFreeMany(std::uint32_t size)
{
    for (int i = 0; i < 20000; ++i) {
        void* a = nullptr;
        void* b = nullptr;
        if (AllocBlock(&a, size) && AllocBlock(&b, size + 1)) *static_cast<char*>(b) = 1;
        FreeBlock(&a);
        FreeBlock(&b);
    }
}

TEST_F(Alloc, CountsStayExactUnderTwoThreads)
{
    // Unsynchronised counters lose updates here and end away from the start.
    std::thread other(AllocFreeMany, 24);
    AllocFreeMany(40);
    other.join();
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
    EXPECT_EQ(LiveBlockBytes(), bytesBefore);
}

TEST(Ticks, NeverGoBackwards)
{
    std::uint64_t previous = Ticks64();
    EXPECT_GT(previous, 0u);
    for (int i = 0; i < 1000; ++i) {
        std::uint64_t now = Ticks64();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

} // namespace
