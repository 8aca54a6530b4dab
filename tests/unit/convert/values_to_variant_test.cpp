#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert/value_to_variant.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

class ValuesToVariantTest : public ConvertTest {
protected:
    // The written array's element i, read in the array's own element size.
    static std::uint64_t Element(const VARIANT& v, std::size_t i)
    {
        std::uint64_t element = 0;
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(v.parray, &data))) return element;
        std::memcpy(&element, static_cast<unsigned char*>(data) + i * v.parray->cbElements,
                    v.parray->cbElements);
        SafeArrayUnaccessData(v.parray);
        return element;
    }

    static std::wstring BstrElement(const VARIANT& v, std::size_t i)
    {
        BSTR bstr = reinterpret_cast<BSTR>(static_cast<std::uintptr_t>(Element(v, i)));
        return bstr == nullptr ? L"<null>" : std::wstring(bstr, SysStringLen(bstr));
    }

    // A one-dimensional array of count elements from 0, of type vt.
    static ::testing::AssertionResult IsArray(const VARIANT& v, VARTYPE vt, LONG count)
    {
        LONG lower = -1;
        LONG upper = -1;
        VARTYPE recorded = VT_EMPTY;
        if (v.vt != (VT_ARRAY | vt)) return ::testing::AssertionFailure() << "vt " << v.vt;
        if (v.parray == nullptr || SafeArrayGetDim(v.parray) != 1)
            return ::testing::AssertionFailure() << "dimensions";
        SafeArrayGetLBound(v.parray, 1, &lower);
        SafeArrayGetUBound(v.parray, 1, &upper);
        SafeArrayGetVartype(v.parray, &recorded);
        if (lower != 0 || upper != count - 1)
            return ::testing::AssertionFailure() << "bounds " << lower << ".." << upper;
        if (recorded != vt) return ::testing::AssertionFailure() << "recorded type " << recorded;
        return ::testing::AssertionSuccess();
    }
};

TEST_F(ValuesToVariantTest, FirstEntryChoosesTheExactElementType)
{
    const struct {
        const char* name;
        std::vector<HostValue> entries;
        VARTYPE vt;
        std::vector<std::uint64_t> elements;
    } rows[] = {
        {"Bool 1, 0, 7",
         {MakeValue(TypeBool, std::uint8_t{1}), MakeValue(TypeBool, std::uint8_t{0}),
          MakeValue(TypeBool, std::uint8_t{7})},
         VT_BOOL,
         {0xFFFF, 0, 0xFFFF}},
        {"U8", {MakeValue(TypeU8, std::uint8_t{200}), MakeValue(TypeU8, std::uint8_t{1})}, VT_UI1, {200, 1}},
        {"U16",
         {MakeValue(TypeU16, std::uint16_t{1}), MakeValue(TypeU16, std::uint16_t{2}),
          MakeValue(TypeU16, std::uint16_t{65535})},
         VT_UI2,
         {1, 2, 65535}},
        {"U32", {MakeValue(TypeU32, 3000000000u)}, VT_UI4, {3000000000u}},
        {"I8", {MakeValue(TypeI8, std::int8_t{-5})}, VT_I1, {0xFB}},
        {"I16", {MakeValue(TypeI16, std::int16_t{-300})}, VT_I2, {0xFED4}},
        {"I32", {MakeValue(TypeI32, std::int32_t{-2})}, VT_I4, {0xFFFFFFFE}},
        {"F32", {MakeValue(TypeF32, 0x3FC00000u)}, VT_R4, {0x3FC00000}},
        {"F64", {MakeValue(TypeF64, 0x400921FB54442D18ull)}, VT_R8, {0x400921FB54442D18ull}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedVariant v;
        ASSERT_TRUE(ValuesToVariant(static_cast<std::uint32_t>(row.entries.size()), row.entries.data(), v.v));
        ASSERT_TRUE(IsArray(v.v, row.vt, static_cast<LONG>(row.entries.size())));
        for (std::size_t i = 0; i < row.elements.size(); ++i)
            EXPECT_EQ(Element(v.v, i), row.elements[i]) << "element " << i;
    }
}

TEST_F(ValuesToVariantTest, TextEntriesBecomeBstrElements)
{
    const HostValue firsts[] = {
        Keep(StringOf(L"first")),
        MakeValue(TypeWText, L"first"),
        CountedText(TypeWTextBuf, 5, L"first!"),
        MakeValue(TypeText, "first"),
        CountedText(TypeTextBuf, 5, "first!"),
    };
    for (const HostValue& first : firsts) {
        SCOPED_TRACE(first.type);
        const HostValue range[] = {first, MakeValue(TypeWText, L"wide"),
                                   CountedText(TypeWTextBuf, 2, L"wide"), MakeValue(TypeI32, 5),
                                   MakeValue(TypeString, static_cast<HostString>(nullptr))};
        ScopedVariant v;
        ASSERT_TRUE(ValuesToVariant(5, range, v.v));
        ASSERT_TRUE(IsArray(v.v, VT_BSTR, 5));
        EXPECT_EQ(BstrElement(v.v, 0), L"first");
        EXPECT_EQ(BstrElement(v.v, 1), L"wide");
        EXPECT_EQ(BstrElement(v.v, 2), L"wi");
        EXPECT_EQ(BstrElement(v.v, 3), L"<null>"); // an entry that is no text
        EXPECT_EQ(BstrElement(v.v, 4), L"");
    }
}

// The first entry alone chooses the type; the others are read in its width, whatever their own type.
TEST_F(ValuesToVariantTest, LaterEntriesAreReadInTheElementWidth)
{
    const HostValue entries[] = {MakeValue(TypeI16, std::int16_t{1}),
                                 MakeValue(TypeF64, 0x400921FB54442D18ull)};
    ScopedVariant v;
    ASSERT_TRUE(ValuesToVariant(2, entries, v.v));
    ASSERT_TRUE(IsArray(v.v, VT_I2, 2));
    EXPECT_EQ(Element(v.v, 1), 0x2D18u);
}

// Entries that were never stored own no payload; their bytes (sentinel here) must not reach the device.
TEST_F(ValuesToVariantTest, NeverStoredEntriesAreSentAsZero)
{
    const struct {
        const char* name;
        HostValue first;
        VARTYPE vt;
    } rows[] = {
        {"I32", MakeValue(TypeI32, 1), VT_I4},
        {"U8", MakeValue(TypeU8, std::uint8_t{1}), VT_UI1},
        {"F64", MakeValue(TypeF64, 1.0), VT_R8},
        {"Bool", MakeValue(TypeBool, std::uint8_t{1}), VT_BOOL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const HostValue entries[] = {row.first, SentinelValue(TypeNone), SentinelValue(TypeNone)};
        ScopedVariant v;
        ASSERT_TRUE(ValuesToVariant(3, entries, v.v));
        ASSERT_TRUE(IsArray(v.v, row.vt, 3));
        EXPECT_EQ(Element(v.v, 1), 0u);
        EXPECT_EQ(Element(v.v, 2), 0u);
    }
    const HostValue texts[] = {Keep(StringOf(L"a")), SentinelValue(TypeNone)};
    ScopedVariant v;
    ASSERT_TRUE(ValuesToVariant(2, texts, v.v));
    EXPECT_EQ(BstrElement(v.v, 1), L"<null>");
}

TEST_F(ValuesToVariantTest, FirstEntryWithoutAnElementTypeLeavesTheVariantUntouched)
{
    for (std::uint32_t first : std::initializer_list<std::uint32_t>{TypeNone, 1, 12, 99}) {
        SCOPED_TRACE(first);
        const HostValue entries[] = {SentinelValue(first), MakeValue(TypeI32, 1)};
        VARIANT v = DatumVariant(VT_I4, 42, 4);
        const VARIANT before = v;
        EXPECT_FALSE(ValuesToVariant(2, entries, v));
        EXPECT_EQ(std::memcmp(&v, &before, sizeof v), 0);
    }
}

TEST_F(ValuesToVariantTest, EmptyRangeIsRefused)
{
    VARIANT v = DatumVariant(VT_I4, 42, 4);
    const VARIANT before = v;
    const HostValue entry = MakeValue(TypeI32, 1);
    EXPECT_FALSE(ValuesToVariant(0, &entry, v));
    EXPECT_EQ(std::memcmp(&v, &before, sizeof v), 0);
}

TEST_F(ValuesToVariantTest, EarlierContentOfTheVariantIsFreed)
{
    const HostValue entry = MakeValue(TypeI32, 1);
    ScopedVariant fresh;
    std::int64_t comBlocks = OutstandingComBlocks();
    ASSERT_TRUE(ValuesToVariant(1, &entry, fresh.v));
    std::int64_t arrayBlocks = OutstandingComBlocks() - comBlocks;

    ScopedVariant v;
    v.v.vt = VT_BSTR;
    v.v.bstrVal = SysAllocString(L"an earlier value");
    comBlocks = OutstandingComBlocks();
    ASSERT_TRUE(ValuesToVariant(1, &entry, v.v));
    EXPECT_EQ(OutstandingComBlocks() - comBlocks, arrayBlocks - 1);
}

} // namespace
