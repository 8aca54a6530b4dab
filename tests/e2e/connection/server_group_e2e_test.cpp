// The server's state at connection time and the group with its items, end to end, as the simulation
// server logs what the driver asked for.

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/wait.h"

namespace {

class ServerState : public ConnectionTest {
protected:
    bool ConnectAndRelease(const std::string& serverLines, std::string* text = nullptr)
    {
        E2eHost host;
        return Connect(host, serverLines, Width::Ansi, text);
    }
    std::size_t StatusQueries() { return SimLogLines(sim, "call GetStatus").size(); }
};

TEST_F(ServerState, ANotConfiguredServerThatStartsRunningWithinTheLimitConnects)
{
    ASSERT_TRUE(Serve("behaviour status NOCONFIG:2000ms RUNNING\n"));
    std::string text;
    EXPECT_TRUE(ConnectAndRelease("wait_running = yes\n", &text)) << text;
    // Polled about every 100 ms for the two seconds.
    EXPECT_GE(StatusQueries(), 10u);
}

TEST_F(ServerState, TestModeConnectsAtOnceButDoesNotEndTheWait)
{
    ASSERT_TRUE(Serve("behaviour status TEST\n"));
    EXPECT_TRUE(ConnectAndRelease(""));
    EXPECT_EQ(StatusQueries(), 1u);

    ASSERT_TRUE(Serve("behaviour status NOCONFIG:1calls TEST:3calls FAILED:1calls RUNNING\n"));
    EXPECT_TRUE(ConnectAndRelease("wait_running = yes\n"));
    EXPECT_EQ(StatusQueries(), 6u);
}

TEST_F(ServerState, WaitTimeIsOnePauseBeforeTheFirstQuery)
{
    // Queried at once, the server would still report "not configured".
    ASSERT_TRUE(Serve("behaviour status NOCONFIG:800ms RUNNING\n"));
    std::string text;
    EXPECT_TRUE(ConnectAndRelease("wait_time = 1.2\n", &text)) << text;
    EXPECT_EQ(StatusQueries(), 1u);

    // During the wait the queries follow each other at the poll interval, not at the pause: a pause
    // before every query would allow only two of them before the server runs.
    ASSERT_TRUE(Serve("behaviour status NOCONFIG:1600ms RUNNING\n"));
    EXPECT_TRUE(ConnectAndRelease("wait_time = 1\nwait_running = yes\n", &text)) << text;
    EXPECT_GE(StatusQueries(), 4u);
}

class GroupAndItems : public ConnectionTest {};

TEST_F(GroupAndItems, TheDefaultRateMakesAnInactiveGroupAndTheFilesRateAnActiveOne)
{
    ASSERT_TRUE(Serve());
    E2eHost host;
    ASSERT_TRUE(Connect(host, ""));
    host.Stop();
    ASSERT_TRUE(Connect(host, "update_rate = 0.5\n"));
    host.Stop();
    std::vector<std::string> groups = SimLogLines(sim, "call AddGroup");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0], "call AddGroup name=OVGroup active=0 rate=86400000 revised=86400000 client=1 bias=0 "
                         "deadband=none lcid=0x0800 hr=0x00000000");
    EXPECT_EQ(
        groups[1],
        "call AddGroup name=OVGroup active=1 rate=500 revised=500 client=1 bias=0 deadband=none lcid=0x0800 "
        "hr=0x00000000");
}

TEST_F(GroupAndItems, AnUnsupportedRateIsAccepted)
{
    ASSERT_TRUE(Serve("behaviour min-rate 1000\n"));
    E2eHost host;
    std::string text;
    EXPECT_TRUE(Connect(host, "update_rate = 0.25\n", Width::Ansi, &text)) << text;
    host.Stop();
    std::vector<std::string> groups = SimLogLines(sim, "call AddGroup");
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_NE(groups[0].find("rate=250 revised=1000"), std::string::npos) << groups[0];
    EXPECT_NE(groups[0].find("hr=0x0004000D"), std::string::npos) << groups[0];
}

TEST_F(GroupAndItems, ItemsHaveAnEmptyAccessPathAreActiveAndCarryTheFirstChannelNumber)
{
    ASSERT_TRUE(Serve());
    E2eHost host;
    ASSERT_TRUE(Connect(host, ""));
    host.Stop();
    std::vector<std::string> items = SimLogLines(sim, "additem");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], "additem Plant.Level path=\"\" active=1 client=1 requested=0 hr=0x00000000");
    EXPECT_EQ(items[1], "additem Plant.Pump path=\"\" active=1 client=2 requested=0 hr=0x00000000");
    EXPECT_EQ(items[2], "additem Plant.Profile path=\"\" active=1 client=10 requested=0 hr=0x00000000");
    EXPECT_EQ(SimLogLines(sim, "call AddItems").size(), 1u) << "all items in one call";
}

TEST_F(GroupAndItems, SynchronousReadsGoToTheDeviceForTheDefaultRateAndToTheCacheOtherwise)
{
    ASSERT_TRUE(Serve());
    for (const char* lines : {"sync = yes\n", "sync = yes\nupdate_rate = 0.5\n"}) {
        SCOPED_TRACE(lines);
        E2eHost host;
        ASSERT_TRUE(Connect(host, lines));
        host.FireRead({kLevel});
        EXPECT_TRUE(host.WaitRead(kLevel));
        host.Stop();
    }
    std::vector<std::string> reads = SimLogLines(sim, "call SyncRead");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0], "call SyncRead group=OVGroup source=device count=1 hr=0x00000000");
    EXPECT_EQ(reads[1], "call SyncRead group=OVGroup source=cache count=1 hr=0x00000000");
}

} // namespace
