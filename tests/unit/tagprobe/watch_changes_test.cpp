// watch's changes: what counts as one with and without --subscribe, when a change gets a delay, and the
// delay itself from the host's timestamp record to the system's UTC time.
#include <gtest/gtest.h>

#include "config/channel_table.h"
#include "tools/tagprobe/text_convert.h"
#include "tools/tagprobe/watch_changes.h"

namespace {

using Rows = std::vector<std::vector<std::wstring>>;

constexpr std::uint32_t kMsPerHour = 3600000;

FILETIME Utc(WORD year, WORD month, WORD day, std::uint32_t msOfDay)
{
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = static_cast<WORD>(msOfDay / kMsPerHour);
    time.wMinute = static_cast<WORD>(msOfDay / 60000 % 60);
    time.wSecond = static_cast<WORD>(msOfDay / 1000 % 60);
    time.wMilliseconds = static_cast<WORD>(msOfDay % 1000);
    FILETIME file{};
    EXPECT_TRUE(SystemTimeToFileTime(&time, &file));
    return file;
}

FILETIME Later(FILETIME time, std::uint64_t units)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += units;
    return FILETIME{value.LowPart, value.HighPart};
}

struct DelayCase {
    HostTimestamp stamp;
    FILETIME now;
    bool measured;
    std::int64_t delayMs;
};

TEST(DelayMs, FromTheTimestampToNowInWholeMilliseconds)
{
    const std::uint32_t noon = 12 * kMsPerHour;
    const DelayCase cases[] = {
        {{noon, 8, 12, 2026}, Utc(2026, 12, 8, noon), true, 0},
        {{noon, 8, 12, 2026}, Utc(2026, 12, 8, noon + 1500), true, 1500},
        // A fraction of a millisecond past the stamp is still the same millisecond.
        {{noon, 8, 12, 2026}, Later(Utc(2026, 12, 8, noon), 9999), true, 0},
        // The server's clock ahead of this machine's.
        {{noon + 250, 8, 12, 2026}, Utc(2026, 12, 8, noon), true, -250},
        {{24 * kMsPerHour - 100, 31, 12, 2024}, Utc(2025, 1, 1, 100), true, 200},
        {{24 * kMsPerHour - 1, 29, 2, 2024}, Utc(2024, 3, 1, 0), true, 1},
        // No server time, and records that name no instant.
        {{0, 0, 0, 0}, Utc(2026, 12, 8, noon), false, 0},
        {{0, 29, 2, 2023}, Utc(2023, 3, 1, 0), false, 0},
        {{24 * kMsPerHour, 8, 12, 2026}, Utc(2026, 12, 9, 0), false, 0},
        {{0, 1, 13, 2026}, Utc(2026, 12, 9, 0), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8FromWide(std::to_wstring(c.stamp.year) + L"-" + std::to_wstring(c.stamp.month) +
                                  L"-" + std::to_wstring(c.stamp.day) + L" " +
                                  std::to_wstring(c.stamp.msOfDay)));
        std::int64_t delay = 0x7EADBEEF;
        EXPECT_EQ(DelayMs(c.stamp, c.now, delay), c.measured);
        EXPECT_EQ(delay, c.measured ? c.delayMs : 0x7EADBEEF);
    }
}

ChannelReading Good(std::uint32_t channel, const wchar_t* value, std::uint32_t msOfDay)
{
    ChannelReading reading;
    reading.channel = channel;
    reading.type = TypeF64;
    reading.finished = true;
    reading.status = StatusOk;
    reading.delivered = true;
    reading.value = value;
    reading.quality = 750;
    reading.timestamp = HostTimestamp{msOfDay, 8, 12, 2026};
    return reading;
}

ChannelReading Failed(std::uint32_t channel)
{
    ChannelReading reading;
    reading.channel = channel;
    reading.finished = true;
    reading.status = StatusFailed;
    return reading;
}

// The channel and delay cells of each row.
std::vector<std::pair<std::wstring, std::wstring>> ChannelAndDelay(const Rows& rows)
{
    std::vector<std::pair<std::wstring, std::wstring>> cells;
    for (const auto& row : rows)
        cells.emplace_back(row[0], row[6]);
    return cells;
}

class SubscribedWatch : public ::testing::Test {
protected:
    std::vector<std::pair<std::wstring, std::wstring>> Batch(const std::vector<ChannelReading>& readings,
                                                             std::uint32_t seenMsOfDay)
    {
        Rows rows = ChangedRows(state, readings, listing, Utc(2026, 12, 8, seenMsOfDay));
        for (const auto& row : rows)
            EXPECT_EQ(row.size(), WatchHeaders(true).size());
        return ChannelAndDelay(rows);
    }

    using Cells = std::vector<std::pair<std::wstring, std::wstring>>;
    WatchState state{true, {}, {}};
    ParamListing listing{};
};

TEST_F(SubscribedWatch, ANewTimestampIsAChangeWithItsDelayAndTheSameOneIsNone)
{
    EXPECT_EQ(Batch({Good(1, L"1", 1000), Good(2, L"5", 900)}, 2000), (Cells{{L"1", L"-"}, {L"2", L"-"}}))
        << "the first values may be of any age: no delay";
    EXPECT_EQ(Batch({Good(1, L"1", 1000), Good(2, L"5", 900)}, 2100), Cells{});
    // The same value again, with a new timestamp: the server sent a change.
    EXPECT_EQ(Batch({Good(1, L"1", 2150), Good(2, L"5", 900)}, 2200), (Cells{{L"1", L"50"}}));
    EXPECT_EQ(Batch({Good(1, L"2", 2240), Good(2, L"6", 2230)}, 2300), (Cells{{L"1", L"60"}, {L"2", L"70"}}));
    EXPECT_EQ(state.delays, (std::vector<std::int64_t>{50, 60, 70}));
}

TEST_F(SubscribedWatch, AValueAfterAFailureIsPrintedWithoutADelay)
{
    Batch({Good(1, L"1", 1000)}, 1100);
    EXPECT_EQ(Batch({Failed(1)}, 1200), (Cells{{L"1", L"-"}}));
    EXPECT_EQ(Batch({Good(1, L"1", 1250)}, 1300), (Cells{{L"1", L"-"}}));
    EXPECT_EQ(Batch({Good(1, L"1", 1350)}, 1400), (Cells{{L"1", L"50"}}));
    EXPECT_EQ(state.delays, (std::vector<std::int64_t>{50}));
}

TEST(ChangedRows, WithoutSubscribeANewTimestampAloneIsNoChangeAndNoDelayIsShown)
{
    WatchState state;
    ParamListing listing;
    FILETIME seen = Utc(2026, 12, 8, 5000);
    EXPECT_EQ(ChangedRows(state, {Good(1, L"1", 1000)}, listing, seen).size(), 1u);
    EXPECT_TRUE(ChangedRows(state, {Good(1, L"1", 2000)}, listing, seen).empty());
    Rows rows = ChangedRows(state, {Good(1, L"2", 3000)}, listing, seen);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].size(), WatchHeaders(false).size());
    EXPECT_EQ(rows[0][2], L"2");
    EXPECT_TRUE(state.delays.empty());
}

TEST(DelaySummary, RangeAndLowerMedianOrNothing)
{
    EXPECT_EQ(DelaySummary({}), L"");
    EXPECT_EQ(DelaySummary({40, 10, -5, 20}), L", delay -5 to 40 ms, median 10 ms");
    EXPECT_EQ(DelaySummary({3, 1, 2}), L", delay 1 to 3 ms, median 2 ms");
}

} // namespace
