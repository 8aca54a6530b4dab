// Values typed by the user become exact host records; delivered records become exact table text.
#include <gtest/gtest.h>

#include <cstring>

#include "convert/value_payload.h"
#include "tools/tagprobe/value_text.h"

namespace {

struct Accepted {
    std::uint32_t type;
    const wchar_t* text;
    std::uint32_t word; // the low 32 bits of the payload
    const wchar_t* shown;
};

TEST(ParseValueText, IntegersAndTruthValuesBecomeTheirBits)
{
    const Accepted cases[] = {
        {TypeBool, L"TRUE", 1, L"true"},
        {TypeBool, L"off", 0, L"false"},
        {TypeBool, L"1", 1, L"true"},
        {TypeU8, L"255", 255, L"255"},
        {TypeU8, L"+7", 7, L"7"},
        {TypeU16, L"65535", 65535, L"65535"},
        {TypeU32, L"4294967295", 0xFFFFFFFFu, L"4294967295"},
        {TypeI8, L"-128", 0xFFFFFF80u, L"-128"},
        {TypeI16, L"-32768", 0xFFFF8000u, L"-32768"},
        {TypeI32, L"-2147483648", 0x80000000u, L"-2147483648"},
        {TypeI32, L"007", 7, L"7"},
    };
    for (const auto& c : cases) {
        ProbeValue value;
        std::wstring reason;
        ASSERT_TRUE(ParseValueText(c.text, c.type, false, value, reason)) << c.type;
        EXPECT_EQ(value.value.type, c.type);
        std::uint32_t word = ReadPayload<std::uint32_t>(value.value);
        std::uint32_t width = c.type == TypeBool || c.type == TypeU8 || c.type == TypeI8 ? 0xFFu
                              : c.type == TypeU16 || c.type == TypeI16                   ? 0xFFFFu
                                                                                         : 0xFFFFFFFFu;
        EXPECT_EQ(word & width, c.word & width) << c.type;
        EXPECT_EQ(value.shown, c.shown);
    }
}

TEST(ParseValueText, RealsKeepTheirExactValue)
{
    ProbeValue value;
    std::wstring reason;
    ASSERT_TRUE(ParseValueText(L"0.1", TypeF64, false, value, reason));
    EXPECT_EQ(ReadPayload<double>(value.value), 0.1);
    EXPECT_EQ(value.shown, L"0.1");
    ASSERT_TRUE(ParseValueText(L"-2.5e3", TypeF32, false, value, reason));
    EXPECT_EQ(ReadPayload<float>(value.value), -2500.0f);
    EXPECT_EQ(value.shown, L"-2500");
    ASSERT_TRUE(ParseValueText(L"0.1", TypeF32, false, value, reason));
    EXPECT_EQ(ReadPayload<float>(value.value), 0.1f);
    EXPECT_EQ(value.shown, L"0.1");
}

TEST(ParseValueText, RefusesWithAReasonThatCompletesTheSentence)
{
    struct Refused {
        std::uint32_t type;
        const wchar_t* text;
        const wchar_t* reason;
    };
    const Refused cases[] = {
        {TypeU8, L"256", L"is out of range for u8 (0 to 255)"},
        {TypeU8, L"-1", L"is out of range for u8 (0 to 255)"},
        {TypeI16, L"32768", L"is out of range for i16 (-32768 to 32767)"},
        {TypeU32, L"99999999999999", L"is out of range for u32 (0 to 4294967295)"},
        {TypeI32, L"1.5", L"is not a whole number"},
        {TypeI32, L"", L"is not a whole number"},
        {TypeI32, L"-", L"is not a whole number"},
        {TypeI32, L" 5", L"is not a whole number"},
        {TypeF64, L"abc", L"is not a number"},
        {TypeF64, L"", L"is not a number"},
        {TypeF64, L" 1", L"is not a number"},
        {TypeF64, L"1e", L"is not a number"},
        {TypeF64, L"nan", L"is not a number"},
        {TypeF64, L"inf", L"is not a number"},
        {TypeF64, L"0x10", L"is not a number"},
        {TypeF64, L"1e999", L"is out of range for f64"},
        {TypeF32, L"1e39", L"is out of range for f32"},
        {TypeBool, L"maybe", L"is not true or false"},
        {TypeNone, L"1", L"cannot be given as type 0"},
        {TypeString, L"1", L"cannot be given as type 14"},
    };
    for (const auto& c : cases) {
        ProbeValue value;
        std::wstring reason;
        EXPECT_FALSE(ParseValueText(c.text, c.type, false, value, reason)) << c.type;
        EXPECT_EQ(reason, c.reason);
    }
}

TEST(ParseValueText, TextLongerThanTheDriverKeepsIsRefusedExceptCounted)
{
    std::wstring longest(255, L'x');
    std::wstring tooLong(256, L'x');
    ProbeValue value;
    std::wstring reason;
    EXPECT_TRUE(ParseValueText(longest, TypeText, false, value, reason));
    EXPECT_TRUE(ParseValueText(longest, TypeWText, true, value, reason));
    EXPECT_FALSE(ParseValueText(tooLong, TypeText, true, value, reason));
    EXPECT_EQ(reason, L"is longer than 255 characters (use textbuf or wtextbuf)");
    EXPECT_FALSE(ParseValueText(tooLong, TypeWText, false, value, reason));
    EXPECT_TRUE(ParseValueText(tooLong, TypeTextBuf, false, value, reason));
    EXPECT_TRUE(ParseValueText(tooLong, TypeWTextBuf, false, value, reason));
}

TEST(ParseValueText, AnsiTextMustFitTheCodePage)
{
    ProbeValue value;
    std::wstring reason;
    // U+4E2D has no counterpart in the single-byte code page the tests run under.
    EXPECT_FALSE(ParseValueText(L"a\x4E2D", TypeText, false, value, reason));
    EXPECT_EQ(reason, L"cannot be written in this machine's ANSI code page (use --wide)");
    EXPECT_TRUE(ParseValueText(L"a\x4E2D", TypeText, true, value, reason));
    EXPECT_TRUE(ParseValueText(L"a\x4E2D", TypeWText, false, value, reason));
}

TEST(BindValue, TextTypesPointIntoTheValuesOwnStrings)
{
    ProbeValue value;
    std::wstring reason;
    ASSERT_TRUE(ParseValueText(L"abc", TypeText, false, value, reason));
    HostValue bound = BindValue(value, false);
    EXPECT_EQ(ReadPayload<std::uint32_t>(bound), reinterpret_cast<std::uintptr_t>(value.ansi.c_str()));
    EXPECT_STREQ(value.ansi.c_str(), "abc");
    EXPECT_EQ(value.shown, L"\"abc\"");

    ASSERT_TRUE(ParseValueText(L"abcd", TypeTextBuf, true, value, reason));
    bound = BindValue(value, true);
    EXPECT_EQ(ReadPayload<std::uint32_t>(bound, kBufLengthOffset), 4u);
    EXPECT_EQ(ReadPayload<std::uint32_t>(bound, kBufPointerOffset),
              reinterpret_cast<std::uintptr_t>(value.wide.c_str()));

    ASSERT_TRUE(ParseValueText(L"xy", TypeWTextBuf, false, value, reason));
    bound = BindValue(value, false);
    EXPECT_EQ(ReadPayload<std::uint32_t>(bound, kBufLengthOffset), 2u);
    EXPECT_EQ(ReadPayload<std::uint32_t>(bound, kBufPointerOffset),
              reinterpret_cast<std::uintptr_t>(value.wide.c_str()));
}

TEST(BindValue, NumbersPassUnchanged)
{
    ProbeValue value;
    std::wstring reason;
    ASSERT_TRUE(ParseValueText(L"-2", TypeI16, false, value, reason));
    HostValue bound = BindValue(value, true);
    EXPECT_EQ(bound.type, static_cast<std::uint32_t>(TypeI16));
    EXPECT_EQ(std::memcmp(bound.payload, value.value.payload, sizeof bound.payload), 0);
}

TEST(DeliverySlot, NothingWrittenIsSeenAsRefused)
{
    for (std::uint32_t type : {TypeI32, TypeF64, TypeText, TypeTextBuf, TypeWText, TypeWTextBuf}) {
        for (bool wide : {false, true}) {
            DeliverySlot slot;
            PrepareSlot(slot, type, wide, 0xA5);
            EXPECT_FALSE(SlotWasWritten(slot, wide, 0xA5)) << type << " wide " << wide;
        }
    }
}

TEST(DeliverySlot, ANumberLikeTheSentinelIsCaughtByTheOtherSentinel)
{
    DeliverySlot first;
    DeliverySlot second;
    PrepareSlot(first, TypeU32, false, 0xA5);
    PrepareSlot(second, TypeU32, false, 0x5A);
    WritePayload(first.value, 0xA5A5A5A5u);
    WritePayload(second.value, 0xA5A5A5A5u);
    EXPECT_FALSE(SlotWasWritten(first, false, 0xA5));
    EXPECT_TRUE(SlotWasWritten(second, false, 0x5A));
    EXPECT_EQ(FormatSlot(second, false), L"2779096485");
}

TEST(DeliverySlot, TextIsReadInTheWidthOfTheFamily)
{
    DeliverySlot slot;
    PrepareSlot(slot, TypeText, false, 0xA5);
    EXPECT_EQ(ReadPayload<std::uint32_t>(slot.value), reinterpret_cast<std::uintptr_t>(slot.ansi));
    std::strcpy(slot.ansi, "Tank 1");
    EXPECT_TRUE(SlotWasWritten(slot, false, 0xA5));
    EXPECT_EQ(FormatSlot(slot, false), L"\"Tank 1\"");

    PrepareSlot(slot, TypeText, true, 0xA5);
    EXPECT_EQ(ReadPayload<std::uint32_t>(slot.value), reinterpret_cast<std::uintptr_t>(slot.wide));
    slot.wide[0] = 0;
    EXPECT_TRUE(SlotWasWritten(slot, true, 0xA5));
    EXPECT_EQ(FormatSlot(slot, true), L"\"\"");
}

TEST(DeliverySlot, CountedTextUsesTheDeliveredLengthAndNoTerminator)
{
    DeliverySlot slot;
    PrepareSlot(slot, TypeWTextBuf, false, 0xA5);
    EXPECT_EQ(ReadPayload<std::uint32_t>(slot.value, kBufLengthOffset), DeliverySlot::kTextUnits);
    slot.wide[0] = L'o';
    slot.wide[1] = L'k';
    WritePayload(slot.value, 2u, kBufLengthOffset);
    EXPECT_TRUE(SlotWasWritten(slot, false, 0xA5));
    EXPECT_EQ(FormatSlot(slot, false), L"\"ok\"");

    PrepareSlot(slot, TypeTextBuf, false, 0x5A);
    WritePayload(slot.value, 0u, kBufLengthOffset);
    EXPECT_TRUE(SlotWasWritten(slot, false, 0x5A)) << "an empty text changes only the length";
    EXPECT_EQ(FormatSlot(slot, false), L"\"\"");
}

TEST(FormatReal, ShortestTextThatReadsBackExactly)
{
    EXPECT_EQ(FormatReal(2.25, false), L"2.25");
    EXPECT_EQ(FormatReal(0.1, false), L"0.1");
    EXPECT_EQ(FormatReal(1.0 / 3.0, false), L"0.3333333333333333");
    EXPECT_EQ(FormatReal(1.0f / 3.0f, true), L"0.33333334");
    EXPECT_EQ(FormatReal(4294967296.0, false), L"4294967296");
    EXPECT_EQ(FormatReal(-0.0, false), L"-0");
    EXPECT_EQ(FormatReal(1e300, false), L"1e+300");
    EXPECT_EQ(FormatReal(-2500.0, false), L"-2500");
    EXPECT_EQ(FormatReal(1e16, false), L"10000000000000000");
    EXPECT_EQ(FormatReal(1e17, false), L"1e+17");
    EXPECT_EQ(FormatReal(0.00001234, false), L"0.00001234");
    EXPECT_EQ(FormatReal(1.5e-6, false), L"1.5e-06");
}

} // namespace
