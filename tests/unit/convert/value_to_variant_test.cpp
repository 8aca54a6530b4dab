#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "convert/value_to_variant.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

class ValueToVariantTest : public ConvertTest {};

// The payload bytes beyond each value's width are sentinel bytes, which must not reach the datum.
TEST_F(ValueToVariantTest, ScalarsGoOutInASignedTypeWideEnoughForThem)
{
    const struct {
        const char* name;
        HostValue value;
        VARTYPE vt;
        std::uint64_t datum;
        std::size_t width;
    } rows[] = {
        {"Bool 1", MakeValue(TypeBool, std::uint8_t{1}), VT_BOOL, 0xFFFF, 2},
        {"Bool 7", MakeValue(TypeBool, std::uint8_t{7}), VT_BOOL, 0xFFFF, 2},
        {"Bool 0", MakeValue(TypeBool, std::uint8_t{0}), VT_BOOL, 0, 2},
        {"U8 200", MakeValue(TypeU8, std::uint8_t{200}), VT_I4, 200, 4},
        {"U16 65535", MakeValue(TypeU16, std::uint16_t{65535}), VT_I4, 65535, 4},
        {"U32 3000000000", MakeValue(TypeU32, 3000000000u), VT_I4, 0xB2D05E00, 4}, // -1294967296
        {"I8 -5", MakeValue(TypeI8, std::int8_t{-5}), VT_I2, 0xFFFB, 2},
        {"I16 -300", MakeValue(TypeI16, std::int16_t{-300}), VT_I2, 0xFED4, 2},
        {"I32 -2", MakeValue(TypeI32, std::int32_t{-2}), VT_I4, 0xFFFFFFFE, 4},
        {"F32 signalling NaN", MakeValue(TypeF32, 0x7FA00001u), VT_R4, 0x7FA00001, 4},
        {"F64", MakeValue(TypeF64, 0x400921FB54442D18ull), VT_R8, 0x400921FB54442D18ull, 8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedVariant v;
        ASSERT_TRUE(ValueToVariant(row.value, v.v));
        EXPECT_EQ(v.v.vt, row.vt);
        EXPECT_EQ(std::memcmp(&v.v.lVal, &row.datum, row.width), 0);
    }
}

TEST_F(ValueToVariantTest, NoValueIsSentAsVoid)
{
    ScopedVariant v;
    ASSERT_TRUE(ValueToVariant(SentinelValue(TypeNone), v.v));
    EXPECT_EQ(v.v.vt, VT_VOID);
}

TEST_F(ValueToVariantTest, CodesWithoutAMeaningLeaveTheVariantEmpty)
{
    for (std::uint32_t code : {1u, 12u, 99u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(code);
        ScopedVariant v;
        v.v.vt = VT_BSTR;
        v.v.bstrVal = SysAllocString(L"an earlier value");
        std::int64_t comBlocks = OutstandingComBlocks();
        EXPECT_FALSE(ValueToVariant(SentinelValue(code), v.v));
        EXPECT_EQ(v.v.vt, VT_EMPTY);
        EXPECT_EQ(OutstandingComBlocks(), comBlocks - 1) << "the earlier BSTR is freed";
    }
}

std::wstring BstrText(BSTR bstr)
{
    return std::wstring(bstr, SysStringLen(bstr));
}

// TypeText and TypeTextBuf are read as 8-bit text (code page 1252 in the default test run).
TEST_F(ValueToVariantTest, EveryTextTypeBecomesABstr)
{
    if (GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, have " << GetACP();
    const std::wstring wide300(300, L'w');
    const std::string ansi300(300, 'a');
    const struct {
        const char* name;
        HostValue value;
        std::wstring text;
    } rows[] = {
        {"String", Keep(StringOf(L"abc")), L"abc"},
        {"String, null handle", MakeValue(TypeString, static_cast<HostString>(nullptr)), L""},
        {"String, embedded NUL", Keep(StringOf(std::wstring(L"a\0b", 3))), std::wstring(L"a\0b", 3)},
        {"WText, 300", MakeValue(TypeWText, wide300.c_str()), std::wstring(255, L'w')},
        {"WText, null", MakeValue(TypeWText, static_cast<const wchar_t*>(nullptr)), L""},
        {"WTextBuf, 300", CountedText(TypeWTextBuf, 300, wide300.c_str()), wide300},
        {"WTextBuf, null", CountedText(TypeWTextBuf, 5, nullptr), L""},
        {"Text", MakeValue(TypeText, "h\xe9"), L"h\u00e9"},
        {"Text, 300", MakeValue(TypeText, ansi300.c_str()), std::wstring(255, L'a')},
        {"TextBuf, embedded NUL", CountedText(TypeTextBuf, 3, "a\0b"), std::wstring(L"a\0b", 3)},
        {"TextBuf, null", CountedText(TypeTextBuf, 5, nullptr), L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedVariant v;
        ASSERT_TRUE(ValueToVariant(row.value, v.v));
        ASSERT_EQ(v.v.vt, VT_BSTR);
        ASSERT_NE(v.v.bstrVal, nullptr);
        EXPECT_EQ(BstrText(v.v.bstrVal), row.text);
    }
}

TEST_F(ValueToVariantTest, EarlierContentOfTheVariantIsFreed)
{
    ScopedVariant v;
    v.v.vt = VT_BSTR;
    v.v.bstrVal = SysAllocString(L"an earlier value");
    std::int64_t comBlocks = OutstandingComBlocks();
    ASSERT_TRUE(ValueToVariant(MakeValue(TypeI32, 1), v.v));
    EXPECT_EQ(OutstandingComBlocks(), comBlocks - 1);
}

TEST_F(ValueToVariantTest, TextToBstrStoresNothingForOtherTypes)
{
    BSTR sentinel = reinterpret_cast<BSTR>(static_cast<std::uintptr_t>(0xDEADBEEF));
    for (std::uint32_t type :
         std::initializer_list<std::uint32_t>{TypeNone, TypeBool, TypeI32, TypeF64, 99}) {
        SCOPED_TRACE(type);
        BSTR place = sentinel;
        TextToBstr(SentinelValue(type), &place);
        EXPECT_EQ(place, sentinel);
    }
}

} // namespace
