#include <cstdint>
#include <cstring>
#include <float.h>
#include <string>

#include <gtest/gtest.h>

#include "convert/caller_exchange.h"
#include "convert/value_payload.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

// The delivery matrix as the host sees it: a row per source type, a column per wanted type.
const std::uint32_t kColumns[] = {TypeBool,  TypeU8,       TypeU16,  TypeU32,  TypeI8,      TypeI16,
                                  TypeI32,   TypeF32,      TypeF64,  TypeText, TypeTextBuf, TypeString,
                                  TypeWText, TypeWTextBuf, TypeNone, 1,        99};
const struct {
    std::uint32_t source;
    const char* supported; // one character per column: x supported, - refused
} kMatrix[] = {
    {TypeBool, "xxxxxxx----------"},    {TypeU8, "-xxxxxxxx--------"},    {TypeU16, "-xxxxxxxx--------"},
    {TypeU32, "-xxxxxxxx--------"},     {TypeI8, "-xxxxxxxx--------"},    {TypeI16, "-xxxxxxxx--------"},
    {TypeI32, "-xxxxxxxx--------"},     {TypeF32, "-xxxxxxxx--------"},   {TypeF64, "-xxxxxxxx--------"},
    {TypeString, "---------xx------"},  {TypeNone, "-----------------"},  {TypeText, "-----------------"},
    {TypeTextBuf, "-----------------"}, {TypeWText, "-----------------"}, {TypeWTextBuf, "-----------------"},
    {1, "-----------------"},           {99, "-----------------"},
};

// The status flag of the invalid-operation exception as _clearfp reports it (_SW_INVALID, which
// MinGW's float.h does not define).
constexpr unsigned int kStatusInvalid = 0x10;

class DeliverValueTest : public ConvertTest {};

TEST_F(DeliverValueTest, MatrixOfSupportedPairsInBothWidths)
{
    wchar_t hostText[] = L"text";
    for (bool wide : {false, true}) {
        for (const auto& row : kMatrix) {
            HostValue source = row.source == TypeString ? Keep(StringOf(L"ab")) : SentinelValue(row.source);
            if (row.source != TypeString) WritePayload(source, static_cast<const void*>(hostText));
            for (std::size_t column = 0; column < sizeof kColumns / sizeof kColumns[0]; ++column) {
                SCOPED_TRACE(testing::Message()
                             << "wide " << wide << ", " << row.source << " to " << kColumns[column]);
                wchar_t buffer[300];
                std::wmemset(buffer, L'#', 300);
                HostValue destination = SentinelValue(kColumns[column]);
                if (kColumns[column] == TypeTextBuf || kColumns[column] == TypeWTextBuf)
                    destination = CountedText(kColumns[column], 10, buffer);
                else if (IsTextType(kColumns[column]))
                    WritePayload(destination, static_cast<void*>(buffer));
                const HostValue before = destination;
                bool expected = row.supported[column] == 'x';
                EXPECT_EQ(DeliverValue(source, destination, wide), expected);
                EXPECT_EQ(destination.type, kColumns[column]);
                if (!expected) {
                    EXPECT_EQ(std::memcmp(&destination, &before, sizeof before), 0);
                    EXPECT_EQ(std::wstring(buffer, 300), std::wstring(300, L'#'));
                }
            }
        }
    }
}

struct NumberRow {
    const char* name;
    HostValue source;
    std::uint32_t wanted;
    std::uint64_t bits;
    std::size_t width;
};

template <class T> HostValue Real(std::uint32_t type, T bits)
{
    return MakeValue(type, bits);
}

const NumberRow kNumberRows[] = {
    {"F64 2.9 to I32", Real(TypeF64, 0x4007333333333333ull), TypeI32, 2, 4},
    {"F64 -2.9 to I32", Real(TypeF64, 0xC007333333333333ull), TypeI32, 0xFFFFFFFE, 4},
    {"F64 -0.5 to I32", Real(TypeF64, 0xBFE0000000000000ull), TypeI32, 0, 4},
    {"F64 300.7 to U8", Real(TypeF64, 0x4072CB3333333333ull), TypeU8, 44, 1},
    {"F64 -1 to U8", Real(TypeF64, 0xBFF0000000000000ull), TypeU8, 255, 1},
    {"F64 2^32+5 to U32", Real(TypeF64, 0x41F0000000500000ull), TypeU32, 5, 4},
    {"F64 quiet NaN to I16", Real(TypeF64, 0x7FF8000000000000ull), TypeI16, 0, 2},
    {"F64 negative NaN to U32", Real(TypeF64, 0xFFF8000000000001ull), TypeU32, 0, 4},
    {"F64 signalling NaN to I32", Real(TypeF64, 0x7FF0000000000001ull), TypeI32, 0, 4},
    {"F64 +infinity to I32", Real(TypeF64, 0x7FF0000000000000ull), TypeI32, 0, 4},
    {"F64 -infinity to I8", Real(TypeF64, 0xFFF0000000000000ull), TypeI8, 0, 1},
    {"F64 2^63 to U32", Real(TypeF64, 0x43E0000000000000ull), TypeU32, 0, 4},
    {"F64 -2^63 to I32", Real(TypeF64, 0xC3E0000000000000ull), TypeI32, 0, 4},
    {"F64 1e300 to I16", Real(TypeF64, 0x7E37E43C8800759Cull), TypeI16, 0, 2},
    {"F64 2^63-1024 to U32", Real(TypeF64, 0x43DFFFFFFFFFFFFFull), TypeU32, 0xFFFFFC00, 4},
    {"F64 -(2^63-1024) to U32", Real(TypeF64, 0xC3DFFFFFFFFFFFFFull), TypeU32, 0x400, 4},
    {"F32 2.9 to I16", Real(TypeF32, 0x4039999Au), TypeI16, 2, 2},
    {"F32 -3e9 to I32", Real(TypeF32, 0xCF32D05Eu), TypeI32, 0x4D2FA200, 4},
    {"F32 signalling NaN to U16", Real(TypeF32, 0x7FA00001u), TypeU16, 0, 2},
    {"F32 infinity to U8", Real(TypeF32, 0x7F800000u), TypeU8, 0, 1},
    {"F64 2.9 to F64", Real(TypeF64, 0x4007333333333333ull), TypeF64, 0x4007333333333333ull, 8},
    {"F64 1+2^-24 to F32, tie to even", Real(TypeF64, 0x3FF0000010000000ull), TypeF32, 0x3F800000, 4},
    {"F64 1+3*2^-24 to F32, tie to even", Real(TypeF64, 0x3FF0000030000000ull), TypeF32, 0x3F800002, 4},
    {"F64 1e300 to F32", Real(TypeF64, 0x7E37E43C8800759Cull), TypeF32, 0x7F800000, 4},
    {"F64 signalling NaN to F32", Real(TypeF64, 0xFFF4000000000000ull), TypeF32, 0xFFE00000, 4},
    {"F32 0.1 to F64", Real(TypeF32, 0x3DCCCCCDu), TypeF64, 0x3FB99999A0000000ull, 8},
    {"F32 signalling NaN to F64", Real(TypeF32, 0x7FA00001u), TypeF64, 0x7FFC000020000000ull, 8},
    {"F32 1.5 to F32", Real(TypeF32, 0x3FC00000u), TypeF32, 0x3FC00000, 4},
    {"I32 -1 to U16", MakeValue(TypeI32, std::int32_t{-1}), TypeU16, 0xFFFF, 2},
    {"I8 -1 to U32", MakeValue(TypeI8, std::int8_t{-1}), TypeU32, 0xFFFFFFFF, 4},
    {"I16 -2 to I32", MakeValue(TypeI16, std::int16_t{-2}), TypeI32, 0xFFFFFFFE, 4},
    {"U16 65535 to I32", MakeValue(TypeU16, std::uint16_t{65535}), TypeI32, 65535, 4},
    {"U16 65535 to I16", MakeValue(TypeU16, std::uint16_t{65535}), TypeI16, 0xFFFF, 2},
    {"U8 200 to I8", MakeValue(TypeU8, std::uint8_t{200}), TypeI8, 0xC8, 1},
    {"U32 2^31+1 to I32", MakeValue(TypeU32, 0x80000001u), TypeI32, 0x80000001, 4},
    {"U32 4294967295 to F64", MakeValue(TypeU32, 0xFFFFFFFFu), TypeF64, 0x41EFFFFFFFE00000ull, 8},
    {"U32 4294967295 to F32", MakeValue(TypeU32, 0xFFFFFFFFu), TypeF32, 0x4F800000, 4},
    {"I32 -1 to F64", MakeValue(TypeI32, std::int32_t{-1}), TypeF64, 0xBFF0000000000000ull, 8},
    {"I32 16777217 to F32, tie to even", MakeValue(TypeI32, std::int32_t{16777217}), TypeF32, 0x4B800000, 4},
    {"I32 16777219 to F32, tie to even", MakeValue(TypeI32, std::int32_t{16777219}), TypeF32, 0x4B800002, 4},
    {"I32 -16777217 to F32", MakeValue(TypeI32, std::int32_t{-16777217}), TypeF32, 0xCB800000, 4},
    {"Bool 1 to I16", MakeValue(TypeBool, std::uint8_t{1}), TypeI16, 1, 2},
    {"Bool 7 to U32", MakeValue(TypeBool, std::uint8_t{7}), TypeU32, 1, 4},
    {"Bool 0 to I8", MakeValue(TypeBool, std::uint8_t{0}), TypeI8, 0, 1},
    {"Bool 7 to Bool", MakeValue(TypeBool, std::uint8_t{7}), TypeBool, 7, 1},
};

::testing::AssertionResult Delivered(const NumberRow& row, const HostValue& destination)
{
    if (destination.type != row.wanted) return ::testing::AssertionFailure() << "type changed";
    if (std::memcmp(destination.payload, &row.bits, row.width) != 0)
        return ::testing::AssertionFailure() << "got " << std::hex << ReadPayload<std::uint64_t>(destination);
    return SentinelFrom(destination, row.width);
}

TEST_F(DeliverValueTest, NumbersKeepLowBitsTruncateAndRound)
{
    for (const NumberRow& row : kNumberRows) {
        SCOPED_TRACE(row.name);
        HostValue destination = SentinelValue(row.wanted);
        EXPECT_TRUE(DeliverValue(row.source, destination, false));
        EXPECT_TRUE(Delivered(row, destination));
    }
}

// A host may run with 24-bit x87 precision and the invalid-operation exception unmasked: the results
// must not change, and no conversion may raise that exception (unmasked, it would end the process).
TEST_F(DeliverValueTest, NumbersAreTheSameUnderAHostsFloatingPointSettings)
{
    for (const NumberRow& row : kNumberRows) {
        SCOPED_TRACE(row.name);
        HostValue destination = SentinelValue(row.wanted);
        _clearfp();
        unsigned int saved = _controlfp(0, 0);
        _controlfp(_PC_24 | (_MCW_EM & ~_EM_INVALID), _MCW_PC | _MCW_EM);
        bool delivered = DeliverValue(row.source, destination, false);
        unsigned int status = _clearfp();
        _controlfp(saved, _MCW_PC | _MCW_EM);
        EXPECT_TRUE(delivered);
        EXPECT_EQ(status & kStatusInvalid, 0u);
        EXPECT_TRUE(Delivered(row, destination));
    }
}

} // namespace
