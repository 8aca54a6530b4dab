// Reading end to end: the real driver against the simulation server, in both modes.

#include <cstring>

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"

DriverApi ExchangeE2E::api;

namespace {

// The standard items' fixed server timestamp, 2024-05-17 13:44:59.123 UTC.
constexpr HostTimestamp kServerTime{49499123, 17, 5, 2024};

bool SameTimestamp(const HostTimestamp& a, const HostTimestamp& b)
{
    return a.msOfDay == b.msOfDay && a.day == b.day && a.month == b.month && a.year == b.year;
}

double NumberOf(const HostValue& value)
{
    switch (value.type) {
    case TypeF32:
        return ReadPayload<float>(value);
    case TypeF64:
        return ReadPayload<double>(value);
    default:
        return static_cast<double>(IntegerOf(value));
    }
}

class ReadE2E : public ExchangeE2E {};

INSTANTIATE_TEST_SUITE_P(BothModes, ReadE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(ReadE2E, ScalarsOfEveryNumericTypeArriveWithGoodQualityAndTheServersUtcTime)
{
    ASSERT_TRUE(Start());
    const struct {
        std::uint32_t channel;
        std::uint32_t type;
        double expected;
    } rows[] = {{kI1, TypeI8, -12},   {kI2, TypeI16, -1234},  {kI4, TypeI32, 123456},
                {kUI1, TypeU8, 200},  {kUI2, TypeU16, 60000}, {kUI4, TypeU32, 4000000000.0},
                {kInt, TypeI32, -7},  {kUInt, TypeU32, 7},    {kR4, TypeF32, 1.5},
                {kR8, TypeF64, 2.25}, {kBool, TypeI32, 1},    {kError, TypeU32, 2147500037.0}};
    for (const auto& row : rows)
        host.RequestRead({row.channel});
    host.FireRead();
    ASSERT_TRUE(host.WaitNotified(1));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.channel);
        EXPECT_EQ(host.ReadStatus(row.channel), StatusOk);
        Delivered got = host.Get(row.channel, row.type);
        EXPECT_EQ(NumberOf(got.value), row.expected);
        EXPECT_EQ(got.quality, 750u);
        EXPECT_TRUE(SameTimestamp(got.timestamp, kServerTime))
            << got.timestamp.msOfDay << " " << int(got.timestamp.day) << "." << int(got.timestamp.month)
            << "." << got.timestamp.year;
    }
}

TEST_P(ReadE2E, TextCurrencyAndDateArriveAsTextInEitherWidth)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kText, kCy, kDate}));
    const struct {
        std::uint32_t channel;
        const char* text;
    } rows[] = {{kText, "hello plant"}, {kCy, "1234.5678"}, {kDate, "5/17/2024 1:44:59 PM"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        char ansi[256] = {};
        wchar_t wide[256] = {};
        HostValue asked = Value(TypeText, static_cast<char*>(ansi));
        std::uint32_t quality = 0;
        HostTimestamp timestamp{};
        api.ansi.GetInput3(host.Instance(), row.channel, &asked, &quality, &timestamp);
        EXPECT_STREQ(ansi, row.text);
        EXPECT_EQ(quality, 750u);
        asked = Value(TypeText, static_cast<wchar_t*>(wide));
        api.wide.GetInput3(host.Instance(), row.channel, &asked, &quality, &timestamp);
        EXPECT_EQ(std::wstring(wide), std::wstring(row.text, row.text + std::strlen(row.text)));
    }
}

TEST_P(ReadE2E, TwoNumbersOfOneRangeAreOneItemAndEachGetsItsElement)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kR8Array + 1, kR8Array + 3}));
    EXPECT_EQ(Logged("read Sim.R8Array ").size(), 1u);
    for (std::uint32_t i = 0; i < 5; ++i) {
        Delivered got = host.Get(kR8Array + i, TypeF64);
        EXPECT_EQ(ReadPayload<double>(got.value), 1.0 + i);
        EXPECT_EQ(host.ReadStatus(kR8Array + i), StatusOk);
    }
}

TEST_P(ReadE2E, ChannelRequestedTwiceIsReadOnce)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kI4, kR8, kI4}));
    EXPECT_EQ(Logged("read Sim.I4 ").size(), 1u);
    EXPECT_EQ(Logged("read Sim.R8 ").size(), 1u);
}

TEST_P(ReadE2E, NotificationHasKindZeroAndTheHostsUserData)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kI4}));
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0].userData, kHostUserData);
    EXPECT_EQ(host.notes[0].kind, 0u);
    EXPECT_EQ(host.notes[0].zero, 0u);
}

TEST_P(ReadE2E, QualityLevelsFollowTheServersQuality)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kBadQuality, kUncertain, kR8}));
    const struct {
        std::uint32_t channel;
        std::uint32_t level;
    } rows[] = {{kBadQuality, 0}, {kUncertain, 500}, {kR8, 750}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.channel);
        EXPECT_EQ(host.ReadStatus(row.channel), StatusOk);
        EXPECT_EQ(host.Get(row.channel, TypeF64).quality, row.level);
    }
}

TEST_P(ReadE2E, OneValueIsDeliveredInSeveralRequestedTypes)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(ReadPayload<double>(host.Get(kI4, TypeF64).value), 123456.0);
    EXPECT_EQ(ReadPayload<std::int16_t>(host.Get(kI4, TypeI16).value), -7616);
    EXPECT_EQ(ReadPayload<std::uint8_t>(host.Get(kI4, TypeU8).value), 64);
    Delivered refused = host.Get(kI4, TypeBool);
    EXPECT_EQ(refused.quality, 0u);
    EXPECT_TRUE(SameTimestamp(refused.timestamp, kServerTime));
}

} // namespace
