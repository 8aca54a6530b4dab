// The synchronous batch limit, end to end: a call into the server that never returns ends its batch as a
// failed one after batch_timeout and notifies the host; without `reconnect` every later batch then
// fails at once and is notified, and with it the instance recovers on the same (still running) server.

#include <gtest/gtest.h>

#include "tests/e2e/recovery/recovery_fixture.h"
#include "tests/e2e/robustness/robust_fixture.h"

DriverApi ExchangeE2E::api;

namespace {

constexpr char kLimitOnly[] = "batch_timeout = 2\n";
constexpr char kLimitAndReconnect[] = "batch_timeout = 2\nreconnect = 0.3\n";

class SyncBatchLimit : public RecoveryE2E {
protected:
    void TearDown() override
    {
        // The hung call holds its server; ending it lets the given-up worker end too.
        if (!host.Sim().logPath.empty()) KillSimServer(host.Sim());
        host.Stop();
    }
    ULONGLONG TimedReadBatch()
    {
        return Timed([&] { EXPECT_TRUE(host.ReadBatch({kI4, kR8})); });
    }
};

INSTANTIATE_TEST_SUITE_P(Sync, SyncBatchLimit, ::testing::Values(Mode::Sync), ModeTestName);

TEST_P(SyncBatchLimit, AHungCallFailsItsBatchAtTheLimitAndEveryLaterBatchAtOnce)
{
    ASSERT_TRUE(StartWith(kLimitOnly, "behaviour hang SyncRead\n"));
    ULONGLONG took = TimedReadBatch();
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 10000u);
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kR8), StatusFailed);
    // Later batches: failed at once, each notified, in both directions.
    EXPECT_LT(TimedReadBatch(), 1000u);
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    std::size_t before = host.notes.size();
    host.RequestWrite(kR8, Value(TypeF64, 3.5));
    host.FireWrite();
    ASSERT_TRUE(host.WaitNotified(before + 1));
    EXPECT_EQ(host.notes.back().kind, 1u);
    EXPECT_EQ(host.WriteStatus(kR8), StatusFailed);
    EXPECT_EQ(ServerCalls("SyncWrite"), 0u) << "nothing reaches the server once the worker is given up";
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed) << "not lost: the file does not ask for recovery";
}

TEST_P(SyncBatchLimit, WithReconnectAHungCallIsGivenUpAndTheInstanceRecovers)
{
    ASSERT_TRUE(StartWith(kLimitAndReconnect, "behaviour hang SyncRead\n"));
    ULONGLONG took = TimedReadBatch();
    EXPECT_GE(took, 1900u);
    EXPECT_EQ(host.notes.back().kind, 0u);
    ASSERT_TRUE(WaitBack()) << "the same server, still running, is connected again";
    EXPECT_TRUE(SawTrace("Reconnect: batch time limit expired, server lost"));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    EXPECT_EQ(ServerStarts(), 1u);
}

} // namespace
