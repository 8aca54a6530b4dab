// Channel operands and assignments: the forms accepted, and the reasons for those refused.
#include <gtest/gtest.h>

#include "convert/value_record.h"
#include "tools/tagprobe/channel_spec.h"

namespace {

struct Refused {
    const wchar_t* operand;
    const wchar_t* error;
};

TEST(AppendChannels, NumbersAndRangesInOrderWithoutRepeats)
{
    std::vector<std::uint32_t> numbers;
    std::wstring error;
    ASSERT_TRUE(AppendChannels(L"7", numbers, error));
    ASSERT_TRUE(AppendChannels(L"3-5", numbers, error));
    ASSERT_TRUE(AppendChannels(L"4-8", numbers, error));
    ASSERT_TRUE(AppendChannels(L"10-10", numbers, error));
    EXPECT_EQ(numbers, (std::vector<std::uint32_t>{7, 3, 4, 5, 6, 8, 10}));
}

TEST(AppendChannels, TheTopOfTheRangeIsReachedWithoutWrapping)
{
    std::vector<std::uint32_t> numbers;
    std::wstring error;
    ASSERT_TRUE(AppendChannels(L"4294967294-4294967295", numbers, error));
    EXPECT_EQ(numbers, (std::vector<std::uint32_t>{4294967294u, 4294967295u}));
}

TEST(AppendChannels, RefusesMalformedOperands)
{
    const Refused cases[] = {
        {L"", L": not a channel number or a range like 10-19"},
        {L"x", L"x: not a channel number or a range like 10-19"},
        {L"-5", L"-5: not a channel number or a range like 10-19"},
        {L"5-", L"5-: not a channel number or a range like 10-19"},
        {L"1-2-3", L"1-2-3: not a channel number or a range like 10-19"},
        {L" 5", L" 5: not a channel number or a range like 10-19"},
        {L"4294967296", L"4294967296: not a channel number or a range like 10-19"},
        {L"9-3", L"9-3: the range ends before it starts"},
        {L"0-100000", L"0-100000: more than 100000 channels in one range"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint32_t> numbers{1};
        std::wstring error;
        EXPECT_FALSE(AppendChannels(c.operand, numbers, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(numbers, std::vector<std::uint32_t>{1}) << "a refused operand added numbers";
    }
}

TEST(AppendChannels, TheLargestRangeIsAccepted)
{
    std::vector<std::uint32_t> numbers;
    std::wstring error;
    ASSERT_TRUE(AppendChannels(L"1-100000", numbers, error));
    EXPECT_EQ(numbers.size(), 100000u);
    EXPECT_EQ(numbers.back(), 100000u);
}

TEST(ParseAssignment, ChannelTypeAndTheWholeRestAsValue)
{
    Assignment a;
    std::wstring error;
    ASSERT_TRUE(ParseAssignment(L"12:F32=1=2 3", a, error));
    EXPECT_EQ(a.channel, 12u);
    EXPECT_TRUE(a.hasType);
    EXPECT_EQ(a.type, static_cast<std::uint32_t>(TypeF32));
    EXPECT_EQ(a.text, L"1=2 3");

    ASSERT_TRUE(ParseAssignment(L"3=", a, error));
    EXPECT_EQ(a.channel, 3u);
    EXPECT_FALSE(a.hasType);
    EXPECT_EQ(a.text, L"");
}

TEST(ParseAssignment, RefusesMalformedAssignments)
{
    const Refused cases[] = {
        {L"12", L"12: expected CH=VALUE or CH:TYPE=VALUE"},
        {L"=5", L"=5: expected CH=VALUE or CH:TYPE=VALUE"},
        {L"a=5", L"a=5: expected CH=VALUE or CH:TYPE=VALUE"},
        {L"1-3=5", L"1-3=5: expected CH=VALUE or CH:TYPE=VALUE"},
        {L"12:real=5", L"12:real=5: unknown host type real (one of bool, u8, u16, u32, i8, i16, i32, f32, "
                       L"f64, text, textbuf, "
                       L"wtext, wtextbuf)"},
    };
    for (const auto& c : cases) {
        Assignment a;
        std::wstring error;
        EXPECT_FALSE(ParseAssignment(c.operand, a, error));
        EXPECT_EQ(error, c.error);
    }
}

} // namespace
