#include <algorithm>
#include <cstdlib>
#include <new>
#include <numeric>
#include <random>
#include <vector>

#include "hostrt/core.h"
#include "hostrt/host_string.h"
#include "hostrt/ordered_set.h"
#include "tests/support/leak_check.h"

namespace {

// An element ordered by number that owns a string, so that a Clear which skips Dispose leaks.
class NumberItem : public OrderedItem {
public:
    std::int32_t Compare(const OrderedItem& stored) const override
    {
        std::uint32_t other = static_cast<const NumberItem&>(stored).number;
        return number < other ? -1 : number > other ? 1 : 0;
    }
    void Dispose() override
    {
        FreeBlock(name);
        if (disposeCount != nullptr) ++*disposeCount;
    }

    std::uint32_t number = 0;
    HostString name = nullptr;
    int* disposeCount = nullptr;
};

// A polymorphic first base, laid out before the element's base, so that the base does not start the block.
struct Prefix {
    virtual ~Prefix() = default;
    double padding[3] = {};
};
class OffsetItem : public Prefix, public NumberItem {};

template <class Item> Item* NewItem(std::uint32_t number, int* disposeCount = nullptr)
{
    void* block = nullptr;
    if (!AllocBlock(&block, sizeof(Item))) return nullptr;
    Item* item = new (block) Item();
    item->number = number;
    item->disposeCount = disposeCount;
    if (!StringAssign(&item->name, 511, L"item")) std::abort();
    return item;
}

// Finds any stored number within [low, high].
class RangeProbe : public OrderedItem {
public:
    RangeProbe(std::uint32_t lowest, std::uint32_t highest) : low(lowest), high(highest) {}
    std::int32_t Compare(const OrderedItem& stored) const override
    {
        std::uint32_t n = static_cast<const NumberItem&>(stored).number;
        return high < n ? -1 : low > n ? 1 : 0;
    }
    void Dispose() override {}

    std::uint32_t low;
    std::uint32_t high;
};

// Records the stored numbers it is compared with, and what it answered.
class RecordingProbe : public OrderedItem {
public:
    explicit RecordingProbe(std::uint32_t wanted) : target(wanted) {}
    std::int32_t Compare(const OrderedItem& stored) const override
    {
        std::uint32_t n = static_cast<const NumberItem&>(stored).number;
        std::int32_t answer = target < n ? -1 : target > n ? 1 : 0;
        visits.push_back({n, answer});
        return answer;
    }
    void Dispose() override {}

    struct Visit {
        std::uint32_t number;
        std::int32_t answer;
    };
    std::uint32_t target;
    mutable std::vector<Visit> visits;
};

std::uint32_t NumberOf(const OrderedItem* item)
{
    return static_cast<const NumberItem*>(item)->number;
}

class OrderedSetTest : public LeakCheckedTest {
protected:
    void TearDown() override
    {
        set.Clear();
        LeakCheckedTest::TearDown();
    }

    void InsertAll(const std::vector<std::uint32_t>& numbers)
    {
        for (std::uint32_t n : numbers)
            ASSERT_TRUE(set.Insert(NewItem<NumberItem>(n, &disposed))) << n;
    }

    std::vector<std::uint32_t> Walk() const
    {
        std::vector<std::uint32_t> numbers;
        OrderedItem* item = reinterpret_cast<OrderedItem*>(0xDEADBEEF);
        for (bool more = set.First(&item); more; more = set.Next(item, &item))
            numbers.push_back(NumberOf(item));
        EXPECT_EQ(item, nullptr); // the walk ends with a cleared place
        return numbers;
    }

    // Heights, balance and parent links of the subtree below node; its height, or -1 when broken.
    static std::int32_t CheckedHeight(const OrderedItem* node, const OrderedItem* parent)
    {
        if (node == nullptr) return 0;
        if (node->treeParent != parent) return -1;
        std::int32_t left = CheckedHeight(node->treeLeft, node);
        std::int32_t right = CheckedHeight(node->treeRight, node);
        if (left < 0 || right < 0 || left - right > 1 || right - left > 1) return -1;
        std::int32_t height = 1 + std::max(left, right);
        return height == node->treeHeight ? height : -1;
    }

    OrderedSet set{};
    int disposed = 0;
};

TEST_F(OrderedSetTest, EmptySetHasNothing)
{
    OrderedItem* item = reinterpret_cast<OrderedItem*>(0xDEADBEEF);
    EXPECT_FALSE(set.First(&item));
    EXPECT_EQ(item, nullptr);
    item = reinterpret_cast<OrderedItem*>(0xDEADBEEF);
    EXPECT_FALSE(set.Find(RangeProbe(0, 0xFFFFFFFFu), &item));
    EXPECT_EQ(item, nullptr);
    EXPECT_FALSE(set.Next(nullptr, &item));
    set.Clear();
    EXPECT_EQ(set.Count, 0u);
    EXPECT_EQ(set.root, nullptr);
}

TEST_F(OrderedSetTest, WalkIsInOrderWhateverTheInsertOrder)
{
    InsertAll({20, 1, 10});
    EXPECT_EQ(set.Count, 3u);
    EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{1, 10, 20}));
    EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{1, 10, 20}));
}

TEST_F(OrderedSetTest, FindReturnsTheMatchingElement)
{
    InsertAll({5, 3, 8, 1, 4, 7, 9});
    for (std::uint32_t n : {1u, 4u, 5u, 9u}) {
        OrderedItem* found = nullptr;
        ASSERT_TRUE(set.Find(RangeProbe(n, n), &found)) << n;
        EXPECT_EQ(NumberOf(found), n);
    }
    OrderedItem* found = reinterpret_cast<OrderedItem*>(0xDEADBEEF);
    EXPECT_FALSE(set.Find(RangeProbe(6, 6), &found));
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(set.Find(RangeProbe(0, 0), &found));
    EXPECT_FALSE(set.Find(RangeProbe(10, 0xFFFFFFFFu), &found));
}

TEST_F(OrderedSetTest, ProbeOfAnotherKindDecidesTheMatch)
{
    InsertAll({10, 20, 30});
    OrderedItem* found = nullptr;
    ASSERT_TRUE(set.Find(RangeProbe(15, 25), &found));
    EXPECT_EQ(NumberOf(found), 20u);
    EXPECT_FALSE(set.Find(RangeProbe(21, 29), &found));
}

TEST_F(OrderedSetTest, FindAsksTheProbeAndFollowsItsSign)
{
    std::vector<std::uint32_t> numbers(63);
    std::iota(numbers.begin(), numbers.end(), 100);
    InsertAll(numbers);
    for (std::uint32_t target : {100u, 131u, 162u, 99u, 163u}) {
        SCOPED_TRACE(target);
        RecordingProbe probe(target);
        OrderedItem* found = nullptr;
        set.Find(probe, &found);
        ASSERT_FALSE(probe.visits.empty());
        EXPECT_EQ(probe.visits.front().number, NumberOf(set.root));
        for (std::size_t i = 1; i < probe.visits.size(); ++i) {
            const RecordingProbe::Visit& before = probe.visits[i - 1];
            ASSERT_NE(before.answer, 0) << "went on after a match";
            EXPECT_EQ(probe.visits[i].number < before.number, before.answer < 0) << "step " << i;
        }
        EXPECT_LE(probe.visits.size(), 7u); // O(log n)
    }
}

TEST_F(OrderedSetTest, NextAfterTheLastIsFalse)
{
    InsertAll({1, 2});
    OrderedItem* first = nullptr;
    OrderedItem* second = nullptr;
    ASSERT_TRUE(set.First(&first));
    ASSERT_TRUE(set.Next(first, &second));
    OrderedItem* after = reinterpret_cast<OrderedItem*>(0xDEADBEEF);
    EXPECT_FALSE(set.Next(second, &after));
    EXPECT_EQ(after, nullptr);
}

TEST_F(OrderedSetTest, MatchingInsertIsRefusedAndLeftToTheCaller)
{
    InsertAll({7});
    NumberItem* twin = NewItem<NumberItem>(7);
    EXPECT_FALSE(set.Insert(twin));
    EXPECT_FALSE(set.Insert(nullptr));
    EXPECT_EQ(set.Count, 1u);
    EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{7}));
    twin->Dispose();
    FreeBlock(twin);
}

TEST_F(OrderedSetTest, ClearDisposesAndFreesEveryElement)
{
    InsertAll({4, 2, 6, 1, 3, 5, 7});
    set.Clear();
    EXPECT_EQ(disposed, 7);
    EXPECT_EQ(set.Count, 0u);
    EXPECT_EQ(set.root, nullptr);
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
    set.Clear();
    EXPECT_EQ(disposed, 7);
    InsertAll({9}); // usable again
    EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{9}));
}

TEST_F(OrderedSetTest, ClearFreesTheWholeBlockWhenTheBaseIsNotFirst)
{
    OffsetItem* item = NewItem<OffsetItem>(3, &disposed);
    ASSERT_TRUE(set.Insert(item));
    ASSERT_NE(static_cast<void*>(static_cast<OrderedItem*>(item)), static_cast<void*>(item));
    set.Clear();
    EXPECT_EQ(disposed, 1);
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

struct BulkOrder {
    const char* name;
    bool shuffled;
};

class OrderedSetBulk : public OrderedSetTest, public ::testing::WithParamInterface<BulkOrder> {};

TEST_P(OrderedSetBulk, HundredThousandElementsStayBalancedAndInOrder)
{
    constexpr std::uint32_t kCount = 100000;
    std::vector<std::uint32_t> numbers(kCount);
    std::iota(numbers.begin(), numbers.end(), 0);
    if (GetParam().shuffled) std::shuffle(numbers.begin(), numbers.end(), std::mt19937(12345));
    InsertAll(numbers);
    ASSERT_EQ(set.Count, kCount);

    std::vector<std::uint32_t> expected(kCount);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(Walk(), expected);
    std::int32_t height = CheckedHeight(set.root, nullptr);
    EXPECT_GT(height, 0) << "broken heights, balance or parent links";
    EXPECT_LE(height, 24); // the AVL bound, 1.44 log2(n + 2)
    OrderedItem* found = nullptr;
    ASSERT_TRUE(set.Find(RangeProbe(77777, 77777), &found));
    EXPECT_EQ(NumberOf(found), 77777u);

    set.Clear(); // iterative: a deep recursion here would overflow the stack of a degenerate tree
    EXPECT_EQ(disposed, static_cast<int>(kCount));
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

INSTANTIATE_TEST_SUITE_P(InsertOrders, OrderedSetBulk,
                         ::testing::Values(BulkOrder{"Shuffled", true}, BulkOrder{"Ascending", false}),
                         [](const ::testing::TestParamInfo<BulkOrder>& info) { return info.param.name; });

} // namespace
