// The words for what the driver reports.
#include <gtest/gtest.h>

#include "idl/opc_constants.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/type_names.h"

namespace {

TEST(StatusName, EveryStatusOfTheHostContract)
{
    EXPECT_EQ(StatusName(0), L"ok");
    EXPECT_EQ(StatusName(1), L"server down");
    EXPECT_EQ(StatusName(2), L"failed");
    EXPECT_EQ(StatusName(3), L"no channel");
    EXPECT_EQ(StatusName(4), L"wrong direction");
    EXPECT_EQ(StatusName(5), L"status 5");
}

TEST(QualityText, LevelAndName)
{
    EXPECT_EQ(QualityText(750), L"750 good");
    EXPECT_EQ(QualityText(500), L"500 uncertain");
    EXPECT_EQ(QualityText(0), L"0 bad");
    EXPECT_EQ(QualityText(600), L"600");
}

TEST(TimestampText, IsoUtcWithMilliseconds)
{
    EXPECT_EQ(TimestampText(HostTimestamp{49530250, 17, 5, 2024}), L"2024-05-17T13:45:30.250Z");
    EXPECT_EQ(TimestampText(HostTimestamp{86399999, 31, 12, 1999}), L"1999-12-31T23:59:59.999Z");
    EXPECT_EQ(TimestampText(HostTimestamp{0, 1, 1, 1601}), L"1601-01-01T00:00:00.000Z");
    EXPECT_EQ(TimestampText(HostTimestamp{0, 0, 0, 0}), L"-");
}

TEST(AccessText, BothBitsAndStrangers)
{
    EXPECT_EQ(AccessText(0), L"none");
    EXPECT_EQ(AccessText(OPC_READABLE), L"read");
    EXPECT_EQ(AccessText(OPC_WRITEABLE), L"write");
    EXPECT_EQ(AccessText(OPC_READABLE | OPC_WRITEABLE), L"read/write");
    EXPECT_EQ(AccessText(0x13), L"0x13");
}

TEST(ResultText, KnownCodesAreExplainedOthersShownBare)
{
    EXPECT_EQ(ResultText(REGDB_E_CLASSNOTREG),
              L"0x80040154 REGDB_E_CLASSNOTREG: the server is not registered on this machine");
    EXPECT_EQ(ResultText(OPC_E_UNKNOWNITEMID),
              L"0xC0040007 OPC_E_UNKNOWNITEMID: the server does not know this ItemId");
    EXPECT_EQ(ResultText(static_cast<HRESULT>(0x80001234)), L"0x80001234");
}

TEST(HostTypeNames, RoundTripWithoutRegardToCase)
{
    for (std::uint32_t type : {TypeBool, TypeU8, TypeU16, TypeU32, TypeI8, TypeI16, TypeI32, TypeF32, TypeF64,
                               TypeText, TypeTextBuf, TypeWText, TypeWTextBuf}) {
        std::wstring name = HostTypeName(type);
        std::uint32_t back = 0;
        ASSERT_TRUE(HostTypeFromName(name, back)) << type;
        EXPECT_EQ(back, type);
    }
    std::uint32_t type = 0;
    EXPECT_TRUE(HostTypeFromName(L"WText", type));
    EXPECT_EQ(type, static_cast<std::uint32_t>(TypeWText));
    EXPECT_FALSE(HostTypeFromName(L"string", type));
    EXPECT_FALSE(HostTypeFromName(L"", type));
    EXPECT_EQ(HostTypeName(TypeString), L"type 14");
}

TEST(VarTypeName, ScalarsArraysAndStrangers)
{
    EXPECT_EQ(VarTypeName(VT_R8), L"R8");
    EXPECT_EQ(VarTypeName(VT_BSTR), L"BSTR");
    EXPECT_EQ(VarTypeName(VT_ARRAY | VT_I4), L"I4[]");
    EXPECT_EQ(VarTypeName(VT_DISPATCH), L"VT 0x0009");
}

TEST(SuggestedHostType, SameWidthAndSignednessTextForFormattedTypes)
{
    struct Case {
        VARTYPE vt;
        std::uint32_t type;
    };
    const Case cases[] = {
        {VT_I1, TypeI8},
        {VT_UI1, TypeU8},
        {VT_I2, TypeI16},
        {VT_UI2, TypeU16},
        {VT_I4, TypeI32},
        {VT_INT, TypeI32},
        {VT_UI4, TypeU32},
        {VT_UINT, TypeU32},
        {VT_R4, TypeF32},
        {VT_R8, TypeF64},
        {VT_BOOL, TypeBool},
        {VT_BSTR, TypeText},
        {VT_CY, TypeText},
        {VT_DATE, TypeText},
        {VT_DECIMAL, TypeText},
        {VT_ERROR, TypeU32},
        {VT_I8, TypeF64},
        {VT_UI8, TypeF64},
        {VT_ARRAY | VT_R8, TypeF64},
        {VT_ARRAY | VT_BSTR, TypeText},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SuggestedHostType(c.vt), c.type) << c.vt;
}

} // namespace
