// watch's lines about a lost server: once when it goes, the statuses while it is away, once when it is
// back, and nothing while it is there.
#include <gtest/gtest.h>

#include "config/channel_table.h"
#include "tools/tagprobe/loss_watch.h"

namespace {

std::vector<ChannelReading> Batch(const std::vector<std::uint32_t>& statuses, bool finished = true)
{
    std::vector<ChannelReading> readings;
    for (std::uint32_t status : statuses) {
        ChannelReading reading;
        reading.finished = finished;
        reading.status = status;
        readings.push_back(reading);
    }
    return readings;
}

TEST(LossLine, LostOnceAwayWithStatusesBackWithTheTimeWithoutTheServer)
{
    LossWatch loss;
    EXPECT_EQ(LossLine(loss, Batch({StatusOk, StatusOk}), 1, 0), L"");
    EXPECT_EQ(LossLine(loss, Batch({StatusServerDown, StatusServerDown}), 2, 1000),
              L"watch: the server is lost at batch 2 at +1000 ms: every channel reports server down");
    EXPECT_EQ(LossLine(loss, Batch({StatusServerDown, StatusServerDown}), 3, 2001),
              L"batch 3 at +2001 ms: 2 server down");
    // Back: after a reconnection every channel starts as never exchanged until its next batch.
    EXPECT_EQ(LossLine(loss, Batch({StatusFailed, StatusOk, StatusFailed}), 4, 3002),
              L"watch: the server is back at batch 4 at +3002 ms, after 2002 ms without it: 2 failed, 1 ok");
    EXPECT_FALSE(loss.lost);
    EXPECT_EQ(LossLine(loss, Batch({StatusOk, StatusOk}), 5, 4003), L"");
}

TEST(LossLine, SomeChannelsDownOrUnansweredAreNoLoss)
{
    LossWatch loss;
    EXPECT_EQ(LossLine(loss, Batch({StatusServerDown, StatusOk}), 1, 0), L"");
    EXPECT_EQ(LossLine(loss, Batch({StatusServerDown}, false), 2, 10), L"");
    EXPECT_EQ(LossLine(loss, {}, 3, 20), L"");
    EXPECT_FALSE(loss.lost);
}

TEST(StatusSummary, CountsEachStatusInFirstSeenOrder)
{
    EXPECT_EQ(StatusSummary(Batch({StatusOk, StatusFailed, StatusOk, StatusWrongDirection})),
              L"2 ok, 1 failed, 1 wrong direction");
    EXPECT_EQ(StatusSummary(Batch({StatusOk}, false)), L"1 no answer");
}

} // namespace
