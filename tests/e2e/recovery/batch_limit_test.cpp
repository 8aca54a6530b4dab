// The batch limit, end to end: a call into the server that never returns (synchronous mode) or a
// completion that never comes (asynchronous mode) ends its batch as a failed one after batch_timeout
// and notifies the host; without `reconnect` every later synchronous batch then fails at once and is
// notified, and with it the instance recovers on the same (still running) server in either mode.

#include <gtest/gtest.h>

#include "tests/e2e/recovery/recovery_fixture.h"
#include "tests/e2e/robustness/robust_fixture.h"

DriverApi ExchangeE2E::api;

namespace {

constexpr char kLimitOnly[] = "batch_timeout = 2\n";
constexpr char kLimitAndReconnect[] = "batch_timeout = 2\nreconnect = 0.3\n";

class BatchLimitE2E : public RecoveryE2E {
protected:
    void TearDown() override
    {
        // The hung call, or the connection dropped without a word, holds its server; ending it lets a
        // given-up worker end too.
        if (!host.Sim().logPath.empty()) KillSimServer(host.Sim());
        host.Stop();
    }
    ULONGLONG TimedReadBatch()
    {
        return Timed([&] { EXPECT_TRUE(host.ReadBatch({kI4, kR8})); });
    }
};

class SyncBatchLimit : public BatchLimitE2E {};
class BatchLimitRecovery : public BatchLimitE2E {
protected:
    // The first read of this mode is never answered: its call hangs, or its completion never comes.
    std::string FirstReadUnanswered() const
    {
        return std::string("behaviour hang ") + (mode() == Mode::Sync ? "SyncRead" : "OnReadComplete") +
               " 1\n";
    }
};

INSTANTIATE_TEST_SUITE_P(Sync, SyncBatchLimit, ::testing::Values(Mode::Sync), ModeTestName);
INSTANTIATE_TEST_SUITE_P(BothModes, BatchLimitRecovery, ::testing::Values(Mode::Async, Mode::Sync),
                         ModeTestName);

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

TEST_P(BatchLimitRecovery, WithReconnectAnUnansweredBatchFailsAtTheLimitAndTheInstanceRecovers)
{
    ASSERT_TRUE(StartWith(kLimitAndReconnect, FirstReadUnanswered()));
    ULONGLONG took = TimedReadBatch();
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 10000u);
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes.back().kind, 0u);
    EXPECT_TRUE(WaitForSimLog(host.Sim(), "hang ", 1, kRecoveryWaitMs));
    // Lost at the limit; the batch itself ended failed, and nothing else is notified while lost.
    ASSERT_TRUE(WaitUntil([&] { return SawTrace("Reconnect: batch time limit expired, server lost"); },
                          kRecoveryWaitMs, "the loss's trace line"));
    ASSERT_TRUE(WaitBack()) << "the same server, still running, is connected again";
    EXPECT_EQ(host.notes.size(), 1u);
    EXPECT_TRUE(SawTrace("Reconnect: connected again"));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    EXPECT_EQ(ReadPayload<std::int32_t>(host.Get(kI4, TypeI32).value), 123456);
    EXPECT_EQ(host.ReadStatus(kR8), StatusFailed) << "never exchanged since the recovery";
    EXPECT_EQ(ServerStarts(), 1u);
}

} // namespace
