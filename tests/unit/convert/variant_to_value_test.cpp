#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "convert/quality_level.h"
#include "convert/value_payload.h"
#include "convert/variant_to_value.h"
#include "hostrt/core.h"
#include "tests/support/allocator_squeeze.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

class VariantToValueTest : public ConvertTest {};

struct ScalarRow {
    const char* name;
    VARTYPE vt;
    std::uint64_t datum;
    std::size_t datumWidth; // in the VARIANT
    std::uint32_t type;
    std::uint64_t stored;
    std::size_t storedWidth; // in the host value
};

const ScalarRow kScalarRows[] = {
    {"I2", VT_I2, 0xFFFE, 2, TypeI16, 0xFFFE, 2},
    {"I4", VT_I4, 0x80000001, 4, TypeI32, 0x80000001, 4},
    {"INT", VT_INT, 0x12345678, 4, TypeI32, 0x12345678, 4},
    {"R4", VT_R4, 0x3FC00000, 4, TypeF32, 0x3FC00000, 4},
    {"R4 signalling NaN", VT_R4, 0x7FA00001, 4, TypeF32, 0x7FA00001, 4},
    {"R8", VT_R8, 0x400921FB54442D18, 8, TypeF64, 0x400921FB54442D18, 8},
    {"ERROR", VT_ERROR, 0x80004005, 4, TypeU32, 0x80004005, 4},
    {"HRESULT", VT_HRESULT, 0x80070057, 4, TypeU32, 0x80070057, 4},
    {"BOOL true", VT_BOOL, 0xFFFF, 2, TypeBool, 1, 1},
    {"BOOL 1", VT_BOOL, 0x0001, 2, TypeBool, 1, 1},
    {"BOOL high byte only", VT_BOOL, 0x0100, 2, TypeBool, 1, 1},
    {"BOOL false", VT_BOOL, 0, 2, TypeBool, 0, 1},
    {"I1", VT_I1, 0xFF, 1, TypeI8, 0xFF, 1},
    {"UI1", VT_UI1, 0xC8, 1, TypeU8, 0xC8, 1},
    {"UI2", VT_UI2, 0xFFFF, 2, TypeU16, 0xFFFF, 2},
    {"UI4", VT_UI4, 0xFFFFFFFF, 4, TypeU32, 0xFFFFFFFF, 4},
    {"UINT", VT_UINT, 0xFFFFFFFE, 4, TypeU32, 0xFFFFFFFE, 4},
    {"EMPTY", VT_EMPTY, 0, 0, TypeNone, 0, 0},
    {"NULL", VT_NULL, 0, 0, TypeNone, 0, 0},
    {"VOID", VT_VOID, 0, 0, TypeNone, 0, 0},
};

::testing::AssertionResult Holds(const HostValue& value, const ScalarRow& row)
{
    if (value.type != row.type) return ::testing::AssertionFailure() << "type " << value.type;
    if (std::memcmp(value.payload, &row.stored, row.storedWidth) != 0)
        return ::testing::AssertionFailure() << "datum " << std::hex << ReadPayload<std::uint64_t>(value);
    return SentinelFrom(value, row.storedWidth);
}

TEST_F(VariantToValueTest, ScalarsByValueKeepWidthAndSignedness)
{
    for (const ScalarRow& row : kScalarRows) {
        SCOPED_TRACE(row.name);
        VARIANT v = DatumVariant(row.vt, row.datum, row.datumWidth);
        HostValue value = SentinelValue(TypeF64);
        EXPECT_TRUE(VariantToValue(v, value));
        EXPECT_TRUE(Holds(value, row));
    }
}

TEST_F(VariantToValueTest, ScalarsByReferenceReadThePointedDatum)
{
    for (const ScalarRow& row : kScalarRows) {
        SCOPED_TRACE(row.name);
        unsigned char datum[16];
        std::memset(datum, kDatumFiller, sizeof datum);
        std::memcpy(datum, &row.datum, row.datumWidth);
        VARIANT v = RefVariant(row.vt, datum);
        HostValue value = SentinelValue(TypeF64);
        EXPECT_TRUE(VariantToValue(v, value));
        EXPECT_TRUE(Holds(value, row));
    }
}

TEST_F(VariantToValueTest, ValueOtherThanTextFreesTheStringHeldBefore)
{
    for (const ScalarRow& row : kScalarRows) {
        SCOPED_TRACE(row.name);
        HostValue& value = Keep(StringOf(L"previous text"));
        std::uint32_t blocks = LiveBlockCount();
        ASSERT_TRUE(VariantToValue(DatumVariant(row.vt, row.datum, row.datumWidth), value));
        EXPECT_EQ(LiveBlockCount(), blocks - 1);
        EXPECT_EQ(value.type, row.type);
    }
}

TEST_F(VariantToValueTest, RefusedVariantsLeaveTheValueUntouched)
{
    std::int64_t i8 = -1;
    VARIANT selfRef = RefVariant(VT_VARIANT, nullptr);
    selfRef.pvarVal = &selfRef;
    VARIANT inner = DatumVariant(VT_I2, 5, 2);
    VARIANT middle = RefVariant(VT_VARIANT, &inner);
    VARIANT variantByValue = DatumVariant(VT_VARIANT, 5, 4);
    const struct {
        const char* name;
        VARIANT v;
    } rows[] = {
        {"I8", DatumVariant(VT_I8, 5, 8)},
        {"UI8", DatumVariant(VT_UI8, 5, 8)},
        {"I8 by reference", RefVariant(VT_I8, &i8)},
        {"DISPATCH", DatumVariant(VT_DISPATCH, 0, 4)},
        {"UNKNOWN", DatumVariant(VT_UNKNOWN, 0, 4)},
        {"type 15", DatumVariant(15, 5, 4)},
        {"PTR", DatumVariant(VT_PTR, 5, 4)},
        {"RECORD", DatumVariant(VT_RECORD, 0, 4)},
        {"CLSID", DatumVariant(VT_CLSID, 0, 4)},
        {"array for a scalar", DatumVariant(VT_ARRAY | VT_I4, 0, 4)},
        {"vector", DatumVariant(VT_VECTOR | VT_I4, 5, 4)},
        {"VARIANT by value", DatumVariant(VT_VARIANT, 5, 4)},
        {"DECIMAL by value", DatumVariant(VT_DECIMAL, 5, 8)},
        {"null I4 reference", RefVariant(VT_I4, nullptr)},
        {"null BSTR reference", RefVariant(VT_BSTR, nullptr)},
        {"VARIANT reference to itself", selfRef},
        {"VARIANT reference to a VARIANT reference", RefVariant(VT_VARIANT, &middle)},
        {"reference to a VARIANT by value", RefVariant(VT_VARIANT, &variantByValue)},
    };
    HostValue& value = Keep(StringOf(L"kept"));
    const HostValue before = value;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(VariantToValue(row.v, value));
        EXPECT_EQ(std::memcmp(&value, &before, sizeof value), 0);
        EXPECT_EQ(TextOf(value), L"kept");
    }
}

TEST_F(VariantToValueTest, VariantReferenceConvertsThePointedVariant)
{
    double number = 2.5;
    ScopedVariant text;
    text.v.vt = VT_BSTR;
    text.v.bstrVal = SysAllocString(L"inner");
    const struct {
        const char* name;
        VARIANT inner;
        std::uint32_t type;
    } rows[] = {
        {"I2", DatumVariant(VT_I2, 0xFFFB, 2), TypeI16},
        {"R8 by reference", RefVariant(VT_R8, &number), TypeF64},
        {"BSTR", text.v, TypeString},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VARIANT inner = row.inner;
        VARIANT outer = RefVariant(VT_VARIANT, &inner);
        HostValue& value = Keep(SentinelValue(TypeNone));
        ASSERT_TRUE(VariantToValue(outer, value));
        EXPECT_EQ(value.type, row.type);
    }
    EXPECT_EQ(ReadPayload<std::int16_t>(kept[0]), -5);
    EXPECT_EQ(ReadPayload<double>(kept[1]), 2.5);
    EXPECT_EQ(TextOf(kept[2]), L"inner");
}

TEST_F(VariantToValueTest, BstrOverAStringReusesItsBlock)
{
    HostValue& value = Keep(StringOf(L"a longer previous text"));
    HostString block = ReadPayload<HostString>(value);
    std::uint32_t blocks = LiveBlockCount();
    ScopedVariant v;
    v.v.vt = VT_BSTR;
    v.v.bstrVal = SysAllocString(L"short");
    ASSERT_TRUE(VariantToValue(v.v, value));
    EXPECT_EQ(TextOf(value), L"short");
    EXPECT_EQ(ReadPayload<HostString>(value), block);
    EXPECT_EQ(LiveBlockCount(), blocks);
}

TEST_F(VariantToValueTest, BstrStaysOwnedByTheVariant)
{
    ScopedVariant v;
    v.v.vt = VT_BSTR;
    v.v.bstrVal = SysAllocStringLen(L"a\0b", 3);
    std::int64_t comBlocks = OutstandingComBlocks();
    HostValue& value = Keep(SentinelValue(TypeI32));
    ASSERT_TRUE(VariantToValue(v.v, value));
    EXPECT_EQ(TextOf(value), std::wstring(L"a\0b", 3)); // embedded NULs are kept
    EXPECT_EQ(OutstandingComBlocks(), comBlocks);
    EXPECT_EQ(SysStringLen(v.v.bstrVal), 3u);
}

TEST_F(VariantToValueTest, NullBstrIsTheEmptyText)
{
    for (bool byRef : {false, true}) {
        SCOPED_TRACE(byRef ? "by reference" : "by value");
        BSTR none = nullptr;
        VARIANT v = byRef ? RefVariant(VT_BSTR, &none) : DatumVariant(VT_BSTR, 0, sizeof(BSTR));
        HostValue& value = Keep(StringOf(L"previous"));
        ASSERT_TRUE(VariantToValue(v, value));
        EXPECT_EQ(TextOf(value), L"");
    }
}

TEST_F(VariantToValueTest, DateThatCannotBeFormattedIsTheEmptyText)
{
    VARIANT v = DatumVariant(VT_DATE, 0, 0);
    v.date = 1e300;
    HostValue& value = Keep(StringOf(L"previous"));
    EXPECT_TRUE(VariantToValue(v, value));
    EXPECT_EQ(TextOf(value), L"");
}

TEST_F(VariantToValueTest, OutOfMemoryLeavesTheValueUntouched)
{
    HostValue& value = Keep(StringOf(L"ab"));
    const HostValue before = value;
    ScopedVariant v;
    v.v.vt = VT_BSTR;
    v.v.bstrVal = SysAllocString(L"a text longer than the string the value holds");
    AllocatorSqueeze squeeze;
    ASSERT_TRUE(squeeze.Squeeze());
    bool converted = VariantToValue(v.v, value);
    squeeze.Release();
    EXPECT_FALSE(converted);
    EXPECT_EQ(std::memcmp(&value, &before, sizeof value), 0);
    EXPECT_EQ(TextOf(value), L"ab");
}

TEST(QualityLevel, OnlyTheTwoQualityBitsCount)
{
    const struct {
        std::uint16_t quality;
        std::uint32_t level;
    } rows[] = {{0xC0, 750}, {0xD8, 750}, {0xFF, 750}, {0x01C0, 750}, {0x40, 500}, {0x7F, 500}, {0xFF40, 500},
                {0x00, 0},   {0x1C, 0},   {0x80, 0},   {0xBF, 0},     {0xFF00, 0}, {0x3F, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.quality);
        EXPECT_EQ(QualityLevel(row.quality), row.level);
    }
}

} // namespace
