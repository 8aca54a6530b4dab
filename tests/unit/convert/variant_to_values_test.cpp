#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "convert/value_payload.h"
#include "convert/variant_to_value.h"
#include "hostrt/core.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

// A SAFEARRAY of vt with the given bounds whose data block is filled from items, element by element
// in the order of the block, each in the array's own element size.
SAFEARRAY* MakeArray(VARTYPE vt, std::vector<SAFEARRAYBOUND> bounds, const std::vector<std::uint64_t>& items)
{
    SAFEARRAY* array = SafeArrayCreate(vt, static_cast<UINT>(bounds.size()), bounds.data());
    if (array == nullptr) return nullptr;
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        for (std::size_t i = 0; i < items.size(); ++i)
            std::memcpy(static_cast<unsigned char*>(data) + i * array->cbElements, &items[i],
                        array->cbElements);
        SafeArrayUnaccessData(array);
    }
    return array;
}

SAFEARRAY* MakeArray(VARTYPE vt, const std::vector<std::uint64_t>& items)
{
    return MakeArray(vt, {{static_cast<ULONG>(items.size()), 0}}, items);
}

class VariantToValuesTest : public ConvertTest {
protected:
    void TearDown() override
    {
        VariantClear(&received.v);
        ConvertTest::TearDown();
    }

    // The array becomes the VARIANT's, which the test's end clears.
    VARIANT& Received(VARTYPE vt, SAFEARRAY* array)
    {
        EXPECT_NE(array, nullptr);
        received.v.vt = VT_ARRAY | vt;
        received.v.parray = array;
        return received.v;
    }

    // count entries, each TypeI16 7 with the rest of its payload sentinel.
    std::vector<HostValue> Entries(std::uint32_t count)
    {
        return std::vector<HostValue>(count, MakeValue(TypeI16, std::int16_t{7}));
    }

    static ::testing::AssertionResult Untouched(const std::vector<HostValue>& entries, std::size_t from)
    {
        const HostValue seven = MakeValue(TypeI16, std::int16_t{7});
        for (std::size_t i = from; i < entries.size(); ++i)
            if (std::memcmp(&entries[i], &seven, sizeof seven) != 0)
                return ::testing::AssertionFailure() << "entry " << i << " written";
        return ::testing::AssertionSuccess();
    }

    ScopedVariant received;
};

TEST_F(VariantToValuesTest, EachElementTypeBecomesItsHostType)
{
    const struct {
        const char* name;
        VARTYPE vt;
        std::vector<std::uint64_t> items;
        std::uint32_t type;
        std::vector<std::uint64_t> stored;
        std::size_t width;
    } rows[] = {
        {"I2", VT_I2, {0xFFFF, 2, 0x8000}, TypeI16, {0xFFFF, 2, 0x8000}, 2},
        {"I4", VT_I4, {0xFFFFFFFF, 2, 0x80000000}, TypeI32, {0xFFFFFFFF, 2, 0x80000000}, 4},
        {"INT", VT_INT, {1, 2, 3}, TypeI32, {1, 2, 3}, 4},
        {"R4", VT_R4, {0x3F800000, 0x7FC00000, 0x80000000}, TypeF32, {0x3F800000, 0x7FC00000, 0x80000000}, 4},
        {"R8",
         VT_R8,
         {0x3FF0000000000000, 0xFFF0000000000000, 1},
         TypeF64,
         {0x3FF0000000000000, 0xFFF0000000000000, 1},
         8},
        {"BOOL", VT_BOOL, {0xFFFF, 0, 0x0100}, TypeBool, {1, 0, 1}, 1},
        {"I1", VT_I1, {0xFF, 0x80, 1}, TypeI8, {0xFF, 0x80, 1}, 1},
        {"UI1", VT_UI1, {0xFF, 0x80, 1}, TypeU8, {0xFF, 0x80, 1}, 1},
        {"UI2", VT_UI2, {0xFFFF, 0x8000, 1}, TypeU16, {0xFFFF, 0x8000, 1}, 2},
        {"UI4", VT_UI4, {0xFFFFFFFF, 0x80000000, 1}, TypeU32, {0xFFFFFFFF, 0x80000000, 1}, 4},
        {"UINT", VT_UINT, {0xFFFFFFFF, 0x80000000, 1}, TypeU32, {0xFFFFFFFF, 0x80000000, 1}, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedVariant v;
        v.v.vt = VT_ARRAY | row.vt;
        v.v.parray = MakeArray(row.vt, row.items);
        std::vector<HostValue>& entries = Range(3, SentinelValue(TypeF64));
        ASSERT_TRUE(VariantToValues(v.v, 3, entries.data()));
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(entries[i].type, row.type);
            EXPECT_EQ(std::memcmp(entries[i].payload, &row.stored[i], row.width), 0);
            EXPECT_TRUE(SentinelFrom(entries[i], row.width));
        }
    }
}

TEST_F(VariantToValuesTest, BstrElementsBecomeStringsAndStayTheArrays)
{
    SAFEARRAYBOUND bound{3, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
    ASSERT_NE(array, nullptr);
    BSTR* texts = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&texts)), S_OK);
    texts[0] = SysAllocString(L"one");
    texts[2] = SysAllocString(L"three");
    SafeArrayUnaccessData(array);
    VARIANT& v = Received(VT_BSTR, array);

    std::vector<HostValue>& entries = Range(3, MakeValue(TypeI32, 5));
    entries[0] = StringOf(L"a previous text"); // freed when replaced: the fixture's leak check
    std::int64_t comBlocks = OutstandingComBlocks();
    ASSERT_TRUE(VariantToValues(v, 3, entries.data()));
    EXPECT_EQ(OutstandingComBlocks(), comBlocks);
    EXPECT_EQ(TextOf(entries[0]), L"one");
    EXPECT_EQ(TextOf(entries[1]), L"");
    EXPECT_EQ(TextOf(entries[2]), L"three");
}

// Lets the first allowedAllocations allocations through and refuses every one after them.
std::uint32_t allowedAllocations = 0;
bool CountedGate(std::uint32_t)
{
    if (allowedAllocations == 0) return false;
    --allowedAllocations;
    return true;
}

// "False leaves every entry untouched" holds when memory runs out at any string of the array: the
// entries before it keep what they held, strings and numbers alike, and nothing leaks.
TEST_F(VariantToValuesTest, TextArrayIsAllOrNothingWhenMemoryRunsOut)
{
    constexpr std::uint32_t kCount = 4;
    SAFEARRAYBOUND bound{kCount, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
    ASSERT_NE(array, nullptr);
    BSTR* texts = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&texts)), S_OK);
    const wchar_t* arrived[kCount] = {L"new one", L"new two", L"new three", L"new four"};
    for (std::uint32_t i = 0; i < kCount; ++i)
        texts[i] = SysAllocString(arrived[i]);
    SafeArrayUnaccessData(array);
    VARIANT& v = Received(VT_BSTR, array);

    std::vector<HostValue>& entries = Range(kCount, MakeValue(TypeI16, std::int16_t{7}));
    entries[1] = StringOf(L"old two");
    entries[3] = StringOf(L"old four");
    const std::vector<HostValue> before = entries;
    // One allocation more than the strings would be any block the conversion takes for itself; every
    // count that fails must fail without a trace, and the first count that succeeds converts it all.
    bool converted = false;
    for (std::uint32_t allowed = 0; !converted && allowed <= 2 * kCount; ++allowed) {
        SCOPED_TRACE(allowed);
        std::uint32_t blocks = LiveBlockCount();
        allowedAllocations = allowed;
        SetAllocationGate(CountedGate);
        converted = VariantToValues(v, kCount, entries.data());
        SetAllocationGate(nullptr);
        if (converted) break;
        EXPECT_EQ(LiveBlockCount(), blocks);
        EXPECT_EQ(std::memcmp(entries.data(), before.data(), kCount * sizeof(HostValue)), 0);
        EXPECT_EQ(TextOf(entries[1]), L"old two");
        EXPECT_EQ(TextOf(entries[3]), L"old four");
    }
    ASSERT_TRUE(converted);
    for (std::uint32_t i = 0; i < kCount; ++i)
        EXPECT_EQ(TextOf(entries[i]), arrived[i]);
}

TEST_F(VariantToValuesTest, LongerArrayFillsTheRangeWithItsFirstElements)
{
    VARIANT& v = Received(VT_I4, MakeArray(VT_I4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::vector<HostValue> entries = Entries(4);
    ASSERT_TRUE(VariantToValues(v, 4, entries.data()));
    for (std::int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(ReadPayload<std::int32_t>(entries[i]), i + 1);
}

TEST_F(VariantToValuesTest, ShorterArrayLeavesTheRestOfTheRange)
{
    VARIANT& v = Received(VT_I4, MakeArray(VT_I4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::vector<HostValue> entries = Entries(20);
    ASSERT_TRUE(VariantToValues(v, 20, entries.data()));
    for (std::int32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(entries[i].type, static_cast<std::uint32_t>(TypeI32));
        EXPECT_EQ(ReadPayload<std::int32_t>(entries[i]), i + 1);
    }
    EXPECT_TRUE(Untouched(entries, 10));
}

TEST_F(VariantToValuesTest, EveryDimensionCountsInDataOrder)
{
    const struct {
        const char* name;
        std::vector<SAFEARRAYBOUND> bounds;
        std::size_t total;
    } rows[] = {
        {"2 x 3", {{2, 0}, {3, 0}}, 6},
        {"1 x 5, lower bounds not 0", {{1, -4}, {5, 1}}, 5},
        {"2 x 0", {{2, 0}, {0, 0}}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedVariant v;
        v.v.vt = VT_ARRAY | VT_I2;
        v.v.parray = MakeArray(VT_I2, row.bounds, {10, 11, 12, 13, 14, 15});
        std::vector<HostValue> entries = Entries(8);
        ASSERT_TRUE(VariantToValues(v.v, 8, entries.data()));
        for (std::size_t i = 0; i < row.total; ++i)
            EXPECT_EQ(ReadPayload<std::int16_t>(entries[i]), static_cast<std::int16_t>(10 + i));
        EXPECT_TRUE(Untouched(entries, row.total));
    }
}

TEST_F(VariantToValuesTest, EmptyArraySucceedsAndChangesNothing)
{
    VARIANT& v = Received(VT_R8, MakeArray(VT_R8, {}));
    std::vector<HostValue> entries = Entries(3);
    EXPECT_TRUE(VariantToValues(v, 3, entries.data()));
    EXPECT_TRUE(Untouched(entries, 0));
}

// The element count of a descriptor whose extents multiply beyond 64 bits saturates: the range is
// filled, not left alone because the product wrapped to 0.
TEST_F(VariantToValuesTest, HugeExtentsFillTheWholeRange)
{
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I4, 3, &array), S_OK);
    std::int32_t data[4] = {1, 2, 3, 4};
    for (USHORT d = 0; d < 3; ++d)
        array->rgsabound[d] = {0x80000000u, 0};
    array->pvData = data;
    VARIANT v = DatumVariant(VT_ARRAY | VT_I4, 0, 0);
    v.parray = array;
    std::vector<HostValue> entries = Entries(4);
    EXPECT_TRUE(VariantToValues(v, 4, entries.data()));
    array->pvData = nullptr; // ours, not the array's
    SafeArrayDestroyDescriptor(array);
    for (std::int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(ReadPayload<std::int32_t>(entries[i]), i + 1);
}

TEST_F(VariantToValuesTest, RefusedElementTypesWriteNoEntry)
{
    for (VARTYPE vt : {VT_VARIANT, VT_DATE, VT_CY, VT_ERROR, VT_DECIMAL, VT_I8, VT_UI8}) {
        SCOPED_TRACE(vt);
        for (std::size_t count : {0, 2}) {
            ScopedVariant v;
            v.v.vt = VT_ARRAY | vt;
            v.v.parray = MakeArray(vt, {{static_cast<ULONG>(count), 0}}, {});
            ASSERT_NE(v.v.parray, nullptr);
            std::vector<HostValue> entries = Entries(2);
            EXPECT_FALSE(VariantToValues(v.v, 2, entries.data()));
            EXPECT_TRUE(Untouched(entries, 0));
        }
    }
}

TEST_F(VariantToValuesTest, ScalarsAndReferencesAreRefused)
{
    SAFEARRAY* array = MakeArray(VT_I4, {1, 2});
    VARIANT byRef = RefVariant(VT_ARRAY | VT_I4, &array);
    VARIANT noArray = DatumVariant(VT_ARRAY | VT_I4, 0, sizeof(SAFEARRAY*));
    for (const VARIANT& v : {DatumVariant(VT_I4, 1, 4), byRef, noArray}) {
        SCOPED_TRACE(v.vt);
        std::vector<HostValue> entries = Entries(2);
        EXPECT_FALSE(VariantToValues(v, 2, entries.data()));
        EXPECT_TRUE(Untouched(entries, 0));
    }
    SafeArrayDestroy(array);
}

// A server's VARIANT type must agree with the array it carries, or a walk by the VARIANT's type would
// read past the data block or use integers as BSTR pointers.
TEST_F(VariantToValuesTest, ArraysThatDisagreeWithTheirVariantTypeAreRefused)
{
    const struct {
        const char* name;
        VARTYPE claimed;
        VARTYPE actual;
    } rows[] = {
        {"R8 over UI1", VT_R8, VT_UI1},   {"BOOL over UI1", VT_BOOL, VT_UI1},
        {"BSTR over I4", VT_BSTR, VT_I4}, {"I4 over BSTR", VT_I4, VT_BSTR},
        {"I4 over R4", VT_I4, VT_R4},     {"UI2 over I2", VT_UI2, VT_I2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedVariant v;
        v.v.vt = VT_ARRAY | row.actual;
        v.v.parray = MakeArray(row.actual, {{2, 0}}, {});
        VARIANT claimed = v.v;
        claimed.vt = VT_ARRAY | row.claimed;
        std::vector<HostValue> entries = Entries(2);
        EXPECT_FALSE(VariantToValues(claimed, 2, entries.data()));
        EXPECT_TRUE(Untouched(entries, 0));
    }
}

TEST_F(VariantToValuesTest, IntArrayIsTakenAsI4)
{
    VARIANT& v = Received(VT_INT, MakeArray(VT_INT, {5, 6}));
    v.vt = VT_ARRAY | VT_I4;
    std::vector<HostValue> entries = Entries(2);
    ASSERT_TRUE(VariantToValues(v, 2, entries.data()));
    EXPECT_EQ(ReadPayload<std::int32_t>(entries[1]), 6);
}

// A descriptor built by hand records no element type: its element size has to do, and it is never
// trusted to hold BSTRs.
TEST_F(VariantToValuesTest, ArrayWithoutARecordedTypeIsJudgedByItsElementSize)
{
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptor(1, &array), S_OK);
    array->cbElements = 4;
    array->rgsabound[0] = {2, 0};
    ASSERT_EQ(SafeArrayAllocData(array), S_OK);
    static_cast<std::int32_t*>(array->pvData)[1] = 9;
    VARIANT& v = Received(VT_I4, array);
    std::vector<HostValue> entries = Entries(2);
    ASSERT_TRUE(VariantToValues(v, 2, entries.data()));
    EXPECT_EQ(ReadPayload<std::int32_t>(entries[1]), 9);

    entries = Entries(2);
    v.vt = VT_ARRAY | VT_R8;
    EXPECT_FALSE(VariantToValues(v, 2, entries.data()));
    v.vt = VT_ARRAY | VT_BSTR;
    EXPECT_FALSE(VariantToValues(v, 2, entries.data()));
    EXPECT_TRUE(Untouched(entries, 0));
    v.vt = VT_ARRAY | VT_I4;
}

TEST_F(VariantToValuesTest, ArrayWithoutDataIsRefused)
{
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I4, 1, &array), S_OK);
    array->rgsabound[0] = {3, 0};
    VARIANT& v = Received(VT_I4, array);
    std::vector<HostValue> entries = Entries(3);
    EXPECT_FALSE(VariantToValues(v, 3, entries.data()));
    EXPECT_TRUE(Untouched(entries, 0));
}

} // namespace
