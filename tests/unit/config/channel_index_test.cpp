#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "config/channel_index.h"
#include "tests/support/allocator_squeeze.h"
#include "tests/support/leak_check.h"

namespace {

constexpr std::uint32_t kTop = 0xFFFFFFFFu;

struct Numbers {
    std::uint32_t first;
    std::uint32_t count; // 0: scalar
};

// A table and its index, both released by the fixture, which proves that nothing is left behind.
class ChannelIndexTest : public LeakCheckedTest {
protected:
    void TearDown() override
    {
        ReleaseChannelIndex(index);
        ReleaseChannelIndex(index);
        table.Clear();
        LeakCheckedTest::TearDown();
    }

    void Fill(std::initializer_list<Numbers> runs)
    {
        for (const Numbers& run : runs)
            ASSERT_TRUE(AddChannel(table, run.first, run.count, L"Item"));
    }

    // Every number around each record's edges, both ends of the number space, and a few in between.
    std::vector<std::uint32_t> Probes()
    {
        std::vector<std::uint32_t> numbers{0, 1, 2, kTop - 1, kTop, 0x80000000u, 0x7FFFFFFFu};
        OrderedItem* item = nullptr;
        for (bool more = table.First(&item); more; more = table.Next(item, &item)) {
            const Channel& c = *static_cast<Channel*>(item);
            std::uint32_t last = c.firstNumber + (c.count == 0 ? 0 : c.count - 1);
            for (std::uint32_t n :
                 {c.firstNumber - 1, c.firstNumber, c.firstNumber + 1, last - 1, last, last + 1})
                numbers.push_back(n);
        }
        return numbers;
    }

    // The index answers exactly what the tree answers, for every probe.
    void ExpectSameAsTree()
    {
        for (std::uint32_t n : Probes())
            ASSERT_EQ(LookUpChannel(index, n), FindChannel(table, n)) << "number " << n;
    }

    ChannelTable table;
    ChannelIndex index{&table};
};

TEST_F(ChannelIndexTest, DenseNumberingGetsTheDirectArray)
{
    for (std::uint32_t n = 1; n <= 1000; ++n)
        ASSERT_TRUE(AddChannel(table, n, 0, L"Item"));
    ASSERT_TRUE(BuildChannelIndex(index, table));
    EXPECT_NE(index.slots, nullptr);
    EXPECT_EQ(index.records, nullptr);
    EXPECT_EQ(index.lowest, 1u);
    EXPECT_EQ(index.slotCount, 1000u);
    ExpectSameAsTree();
    EXPECT_EQ(LookUpChannel(index, 500)->firstNumber, 500u);
    EXPECT_EQ(LookUpChannel(index, 0), nullptr);
    EXPECT_EQ(LookUpChannel(index, 1001), nullptr);
}

TEST_F(ChannelIndexTest, SparseNumberingGetsTheSortedArray)
{
    for (std::uint32_t n = 10; n <= 10000; n += 10)
        ASSERT_TRUE(AddChannel(table, n, 0, L"Item"));
    ASSERT_TRUE(BuildChannelIndex(index, table));
    EXPECT_EQ(index.slots, nullptr);
    EXPECT_NE(index.records, nullptr);
    EXPECT_EQ(index.recordCount, 1000u);
    ExpectSameAsTree();
    EXPECT_EQ(LookUpChannel(index, 5000)->firstNumber, 5000u);
    EXPECT_EQ(LookUpChannel(index, 5001), nullptr); // a gap
    EXPECT_EQ(LookUpChannel(index, 9), nullptr);    // below the lowest
}

TEST_F(ChannelIndexTest, RangesAndGapsInBothArrays)
{
    // Dense: ranges and scalars side by side with one gap, at most four numbers per record.
    Fill({{1, 2}, {3, 0}, {5, 0}, {6, 2}});
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ASSERT_NE(index.slots, nullptr);
    ExpectSameAsTree();
    EXPECT_EQ(LookUpChannel(index, 2)->firstNumber, 1u);
    EXPECT_EQ(LookUpChannel(index, 4), nullptr);
    EXPECT_EQ(LookUpChannel(index, 7)->firstNumber, 6u);
    table.Clear();
    // Sorted: a long range makes the numbering sparse.
    Fill({{100, 1000}, {2000, 0}, {3000, 5}});
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ASSERT_NE(index.records, nullptr);
    ExpectSameAsTree();
    EXPECT_EQ(LookUpChannel(index, 1099)->firstNumber, 100u);
    EXPECT_EQ(LookUpChannel(index, 1100), nullptr);
    EXPECT_EQ(LookUpChannel(index, 3004)->firstNumber, 3000u);
    EXPECT_EQ(LookUpChannel(index, 3005), nullptr);
}

TEST_F(ChannelIndexTest, RangesEndingAtTheTopOfTheNumbers)
{
    // A range ending at 4294967295: first + count wraps to 0, comparisons by difference must not.
    Fill({{kTop - 20, 0}, {kTop - 4, 5}});
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ASSERT_NE(index.records, nullptr);
    ExpectSameAsTree();
    EXPECT_EQ(LookUpChannel(index, kTop)->firstNumber, kTop - 4);
    EXPECT_EQ(LookUpChannel(index, 0), nullptr);
    table.Clear();
    Fill({{kTop - 3, 0}, {kTop - 2, 0}, {kTop - 1, 2}});
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ASSERT_NE(index.slots, nullptr);
    EXPECT_EQ(index.slotCount, 4u);
    ExpectSameAsTree();
    EXPECT_EQ(LookUpChannel(index, kTop)->firstNumber, kTop - 1);
    EXPECT_EQ(LookUpChannel(index, 0), nullptr); // below lowest: the offset wraps past the slots
}

TEST_F(ChannelIndexTest, SingleChannels)
{
    for (std::uint32_t number : {0u, 1u, 0x80000000u, kTop}) {
        table.Clear();
        Fill({{number, 0}});
        ASSERT_TRUE(BuildChannelIndex(index, table));
        ASSERT_NE(index.slots, nullptr);
        ExpectSameAsTree();
        EXPECT_EQ(LookUpChannel(index, number)->firstNumber, number);
        EXPECT_EQ(LookUpChannel(index, number + 1), nullptr);
        EXPECT_EQ(LookUpChannel(index, number - 1), nullptr);
    }
    table.Clear();
    Fill({{kTop, 0}, {0, 0}}); // the two ends: as sparse as a table gets
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ASSERT_NE(index.records, nullptr);
    ExpectSameAsTree();
}

TEST_F(ChannelIndexTest, RandomTablesAnswerAsTheTree)
{
    std::mt19937 random(20261209);
    for (int t = 0; t < 200; ++t) {
        table.Clear();
        // Spacing decides dense or sparse; some tables start near the top of the numbers.
        std::uint32_t spacing = 1 + random() % 4;
        std::uint64_t next = t % 3 == 0 ? kTop - 400 : random() % 1000;
        std::uint32_t records = 1 + random() % 60;
        for (std::uint32_t r = 0; r < records && next <= kTop; ++r) {
            std::uint32_t count = random() % 4 == 0 ? 1 + random() % 5 : 0;
            std::uint64_t numbers = count == 0 ? 1 : count;
            if (next + numbers - 1 > kTop) break;
            ASSERT_TRUE(AddChannel(table, static_cast<std::uint32_t>(next), count, L"Item"));
            next += numbers + random() % spacing;
        }
        ASSERT_TRUE(BuildChannelIndex(index, table));
        ExpectSameAsTree();
        for (int i = 0; i < 200; ++i) {
            std::uint32_t n = static_cast<std::uint32_t>(random());
            ASSERT_EQ(LookUpChannel(index, n), FindChannel(table, n)) << "number " << n;
        }
    }
}

TEST_F(ChannelIndexTest, WithoutArraysTheTreeAnswers)
{
    Fill({{1, 0}, {2, 3}, {9, 0}});
    EXPECT_EQ(LookUpChannel(index, 3)->firstNumber, 2u); // never built
    ExpectSameAsTree();
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ReleaseChannelIndex(index);
    EXPECT_EQ(index.slots, nullptr);
    EXPECT_EQ(LookUpChannel(index, 9)->firstNumber, 9u);
    ExpectSameAsTree();
    // A table left empty builds nothing and finds nothing.
    table.Clear();
    ASSERT_TRUE(BuildChannelIndex(index, table));
    EXPECT_EQ(index.slots, nullptr);
    EXPECT_EQ(index.records, nullptr);
    EXPECT_EQ(LookUpChannel(index, 1), nullptr);
}

TEST_F(ChannelIndexTest, RebuildFreesTheArraysBeforeAndOutOfMemoryFallsBackToTheTree)
{
    for (std::uint32_t n = 1; n <= 100; ++n)
        ASSERT_TRUE(AddChannel(table, n * 7, 0, L"Item"));
    ASSERT_TRUE(BuildChannelIndex(index, table));
    ASSERT_TRUE(BuildChannelIndex(index, table)); // the fixture's leak check sees the first arrays freed
    ASSERT_NE(index.records, nullptr);
    ReleaseChannelIndex(index); // else the rebuild would find its own freed blocks again
    bool built = true;
    {
        AllocatorSqueeze squeeze;
        ASSERT_TRUE(squeeze.Squeeze());
        built = BuildChannelIndex(index, table);
    }
    EXPECT_FALSE(built);
    EXPECT_EQ(index.slots, nullptr);
    EXPECT_EQ(index.records, nullptr);
    EXPECT_EQ(index.firstNumbers, nullptr);
    EXPECT_EQ(LookUpChannel(index, 700)->firstNumber, 700u);
    ExpectSameAsTree();
}

} // namespace
