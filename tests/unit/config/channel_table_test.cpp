#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/channel_table.h"
#include "convert/string_value.h"
#include "convert/value_payload.h"
#include "hostrt/core.h"
#include "tests/support/allocator_squeeze.h"
#include "tests/support/leak_check.h"

namespace {

constexpr std::uint32_t kTop = 0xFFFFFFFFu;
constexpr std::uint32_t kNone = 0xDEADBEEFu; // "no record" in the tables below

struct Numbers {
    std::uint32_t first;
    std::uint32_t count; // 0: scalar
};

// A table filled for one test and cleared again; the fixture proves that Clear frees every block.
class ChannelTableTest : public LeakCheckedTest {
protected:
    void TearDown() override
    {
        table.Clear();
        EXPECT_EQ(table.Count, 0u);
        LeakCheckedTest::TearDown();
    }

    void Fill(std::initializer_list<Numbers> runs)
    {
        for (const Numbers& run : runs)
            ASSERT_TRUE(AddChannel(table, run.first, run.count, L"Item"));
    }

    std::uint32_t FirstCovering(std::uint32_t number)
    {
        const Channel* channel = FindChannel(table, number);
        return channel == nullptr ? kNone : channel->firstNumber;
    }

    std::vector<std::uint32_t> Walk()
    {
        std::vector<std::uint32_t> firsts;
        OrderedItem* item = nullptr;
        for (bool more = table.First(&item); more; more = table.Next(item, &item))
            firsts.push_back(static_cast<Channel*>(item)->firstNumber);
        return firsts;
    }

    ChannelTable table;
};

struct Lookup {
    std::uint32_t number;
    std::uint32_t first; // of the covering record, or kNone
    std::uint32_t index; // element index within a range
};

TEST_F(ChannelTableTest, LookupFindsTheRecordCoveringEachNumber)
{
    Fill({{1, 5}, {10, 0}, {20, 0}});
    const Lookup cases[] = {{0, kNone, 0},  {1, 1, 0},     {3, 1, 2},      {5, 1, 4},
                            {6, kNone, 0},  {9, kNone, 0}, {10, 10, 0},    {11, kNone, 0},
                            {19, kNone, 0}, {20, 20, 0},   {21, kNone, 0}, {kTop, kNone, 0}};
    for (const Lookup& c : cases) {
        SCOPED_TRACE(c.number);
        Channel* channel = FindChannel(table, c.number);
        ASSERT_EQ(channel == nullptr ? kNone : channel->firstNumber, c.first);
        if (channel == nullptr || channel->count == 0) continue;
        EXPECT_EQ(&ChannelSlot(*channel, c.number), channel->elements + c.index);
    }
}

TEST_F(ChannelTableTest, ScalarSlotIsTheRecordsValue)
{
    Fill({{10, 0}});
    Channel* channel = FindChannel(table, 10);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(&ChannelSlot(*channel, 10), &channel->value);
}

TEST_F(ChannelTableTest, RangeOfOneIsFoundOnlyByItsNumber)
{
    Fill({{10, 1}});
    EXPECT_EQ(FirstCovering(9), kNone);
    EXPECT_EQ(FirstCovering(11), kNone);
    Channel* channel = FindChannel(table, 10);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->count, 1u);
    EXPECT_EQ(&ChannelSlot(*channel, 10), channel->elements);
}

// A range ending at 4294967295 makes first + count wrap to 0; lookups must still find it.
TEST_F(ChannelTableTest, RangeEndingAtTheTopIsFoundByEveryNumber)
{
    Fill({{0, 0}, {kTop - 5, 6}});
    EXPECT_EQ(FirstCovering(0), 0u);
    EXPECT_EQ(FirstCovering(kTop - 6), kNone);
    EXPECT_EQ(FirstCovering(kTop - 5), kTop - 5);
    EXPECT_EQ(FirstCovering(kTop), kTop - 5);
    Channel* channel = FindChannel(table, kTop);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(&ChannelSlot(*channel, kTop), channel->elements + 5);
    EXPECT_NE(FindOverlap(table, kTop, 1), nullptr);
    EXPECT_NE(FindOverlap(table, kTop - 10, 6), nullptr);
    EXPECT_EQ(FindOverlap(table, kTop - 10, 5), nullptr);
}

TEST_F(ChannelTableTest, ScalarAtTheTopIsFound)
{
    Fill({{kTop, 0}});
    EXPECT_EQ(FirstCovering(kTop), kTop);
    EXPECT_EQ(FirstCovering(kTop - 1), kNone);
    EXPECT_NE(FindOverlap(table, kTop - 3, 4), nullptr);
}

struct Overlap {
    Numbers stored;
    bool meets; // with the probe 5..9
};

TEST_F(ChannelTableTest, RangeProbeMatchesEveryRecordSharingANumber)
{
    const Overlap cases[] = {{{7, 0}, true},  {{9, 4}, true},   {{1, 5}, true},   {{5, 0}, true},
                             {{9, 0}, true},  {{4, 0}, false},  {{10, 0}, false}, {{10, 3}, false},
                             {{1, 4}, false}, {{0, 100}, true}, {{6, 2}, true}};
    for (const Overlap& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored.first << "+" << c.stored.count);
        ASSERT_TRUE(AddChannel(table, c.stored.first, c.stored.count, L"Item"));
        EXPECT_EQ(FindOverlap(table, 5, 5) != nullptr, c.meets);
        table.Clear();
    }
}

struct Comparison {
    Numbers probe;
    Numbers stored;
    std::int32_t byNumber; // Channel::Compare
    std::int32_t byRange;  // ChannelRangeKey::Compare
};

// Both comparisons record by record, including scalar probes against ranges and the top of the range.
TEST(ChannelCompare, ProbeAgainstStoredGivesThePositionOfTheProbe)
{
    const Comparison cases[] = {
        {{5, 0}, {5, 0}, 0, 0},
        {{4, 0}, {5, 0}, -1, -1},
        {{6, 0}, {5, 0}, 1, 1},
        {{5, 0}, {5, 3}, 0, 0},
        {{7, 0}, {5, 3}, 0, 0},
        {{8, 0}, {5, 3}, 1, 1},
        {{4, 0}, {5, 3}, -1, -1},
        {{3, 2}, {5, 0}, -1, -1},
        {{3, 3}, {5, 0}, -1, 0},
        {{5, 1}, {5, 0}, 0, 0},
        {{6, 2}, {5, 0}, 1, 1},
        {{1, 4}, {5, 3}, -1, -1},
        {{1, 5}, {5, 3}, -1, 0},
        {{7, 9}, {5, 3}, 0, 0},
        {{8, 9}, {5, 3}, 1, 1},
        {{kTop, 0}, {kTop - 1, 2}, 0, 0},
        {{0, 0}, {kTop - 1, 2}, -1, -1},
        {{kTop - 2, 2}, {kTop, 0}, -1, -1},
        {{kTop - 2, 3}, {kTop, 0}, -1, 0},
        {{kTop - 4, 5}, {kTop - 1, 2}, -1, 0},
    };
    for (const Comparison& c : cases) {
        SCOPED_TRACE(testing::Message() << c.probe.first << "+" << c.probe.count << " vs " << c.stored.first
                                        << "+" << c.stored.count);
        Channel stored;
        stored.firstNumber = c.stored.first;
        stored.count = c.stored.count;
        Channel byNumber;
        byNumber.firstNumber = c.probe.first;
        byNumber.count = c.probe.count;
        ChannelRangeKey byRange;
        byRange.firstNumber = c.probe.first;
        byRange.count = c.probe.count;
        EXPECT_EQ(byNumber.Compare(stored), c.byNumber);
        EXPECT_EQ(byRange.Compare(stored), c.byRange);
    }
}

TEST_F(ChannelTableTest, WalkVisitsRecordsInAscendingOrder)
{
    Fill({{20, 0}, {1, 5}, {10, 0}});
    EXPECT_EQ(table.Count, 3u);
    const std::vector<std::uint32_t> expected{1, 10, 20};
    EXPECT_EQ(Walk(), expected);
    EXPECT_EQ(Walk(), expected);
}

TEST_F(ChannelTableTest, ClearOfAnEmptyTableLeavesItEmpty)
{
    table.Clear();
    EXPECT_EQ(table.Count, 0u);
    OrderedItem* item = nullptr;
    EXPECT_FALSE(table.First(&item));
}

TEST_F(ChannelTableTest, NewRecordsHoldTheirDefaults)
{
    // Leave a freed block of the element block's size full of garbage, for the allocator to hand out again.
    void* garbage = nullptr;
    ASSERT_TRUE(AllocBlock(&garbage, 4 * sizeof(HostValue)));
    std::memset(garbage, 0xAB, 4 * sizeof(HostValue));
    FreeBlock(&garbage);
    Fill({{10, 4}, {3, 0}});
    const Channel* scalar = FindChannel(table, 3);
    const Channel* range = FindChannel(table, 10);
    ASSERT_NE(scalar, nullptr);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(scalar->count, 0u);
    EXPECT_EQ(scalar->elements, nullptr);
    EXPECT_EQ(scalar->value.type, static_cast<std::uint32_t>(TypeNone));
    EXPECT_EQ(scalar->channelFlags, 0u);
    EXPECT_EQ(scalar->readStatus, static_cast<std::uint32_t>(StatusFailed));
    EXPECT_EQ(scalar->writeStatus, static_cast<std::uint32_t>(StatusFailed));
    EXPECT_EQ(scalar->nextRead, nullptr);
    EXPECT_EQ(scalar->nextWrite, nullptr);
    ASSERT_NE(scalar->itemId, nullptr);
    EXPECT_EQ(std::wstring(scalar->itemId->chars, scalar->itemId->length), L"Item");
    // Never-stored elements go to the device with the first write of any element: all zero, not heap bytes.
    const std::uint8_t zero[4 * sizeof(HostValue)] = {};
    ASSERT_NE(range->elements, nullptr);
    EXPECT_EQ(std::memcmp(range->elements, zero, sizeof zero), 0);
}

TEST_F(ChannelTableTest, ItemIdIsKeptUpTo511Characters)
{
    std::wstring longId(600, L'x');
    ASSERT_TRUE(AddChannel(table, 1, 0, longId.c_str()));
    ASSERT_TRUE(AddChannel(table, 2, 0, L""));
    const Channel* first = FindChannel(table, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->itemId, nullptr);
    EXPECT_EQ(first->itemId->length, kItemIdMax);
    const Channel* second = FindChannel(table, 2);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->itemId == nullptr || second->itemId->length == 0);
}

TEST_F(ChannelTableTest, DisposeFreesEveryStringOnceAndIsSafeToRepeat)
{
    Fill({{1, 3}, {7, 0}});
    Channel* range = FindChannel(table, 1);
    Channel* scalar = FindChannel(table, 7);
    ASSERT_NE(range, nullptr);
    ASSERT_NE(scalar, nullptr);
    std::uint32_t before = LiveBlockCount();
    ASSERT_TRUE(AssignStringValue(range->elements[0], L"zero", 4));
    ASSERT_TRUE(AssignStringValue(range->elements[2], L"two", 3));
    ASSERT_TRUE(AssignStringValue(scalar->value, L"seven", 5));
    WritePayload(range->elements[1], 2.5);
    range->elements[1].type = TypeF64;
    ASSERT_EQ(LiveBlockCount(), before + 3);

    // The range frees its two strings, its ItemId and its element block; the record blocks stay.
    range->Dispose();
    EXPECT_EQ(LiveBlockCount(), before - 1);
    EXPECT_EQ(range->elements, nullptr);
    EXPECT_EQ(range->itemId, nullptr);
    range->Dispose();
    EXPECT_EQ(LiveBlockCount(), before - 1);

    scalar->Dispose();
    EXPECT_EQ(scalar->value.type, static_cast<std::uint32_t>(TypeNone));
    EXPECT_EQ(ReadPayload<HostString>(scalar->value), nullptr);
    EXPECT_EQ(LiveBlockCount(), before - 3);
    // Clear disposes both records again and frees their blocks: nothing is freed twice (TearDown).
}

TEST_F(ChannelTableTest, ClearFreesStringsHeldByValues)
{
    Fill({{1, 2}, {5, 0}});
    ASSERT_TRUE(AssignStringValue(FindChannel(table, 2)->elements[1], L"b", 1));
    ASSERT_TRUE(AssignStringValue(FindChannel(table, 5)->value, L"five", 4));
    // TearDown proves that Clear gave back every block.
}

TEST_F(ChannelTableTest, RangeLongerThanTheLimitIsRefusedWithoutAllocating)
{
    EXPECT_FALSE(AddChannel(table, 0, kMaxRangeCount + 1, L"Item"));
    EXPECT_EQ(table.Count, 0u);
}

TEST_F(ChannelTableTest, ElementBlockThatCannotBeAllocatedLeavesNothingBehind)
{
    // kMaxRangeCount elements need 2 GB in one block: more than a 32-bit process can give, and in the
    // 64-bit build more than the allocator's limit.
    EXPECT_FALSE(AddChannel(table, 0, kMaxRangeCount, L"Item"));
    EXPECT_EQ(table.Count, 0u);
}

TEST_F(ChannelTableTest, RecordThatCannotBeAllocatedLeavesNothingBehind)
{
    auto squeeze = std::make_unique<AllocatorSqueeze>();
    bool squeezed = squeeze->Squeeze();
    bool added = AddChannel(table, 1, 0, L"Item");
    squeeze->Release();
    ASSERT_TRUE(squeezed);
    EXPECT_FALSE(added);
    EXPECT_EQ(table.Count, 0u);
}

} // namespace
