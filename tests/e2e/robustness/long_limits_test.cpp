// The cases that wait out one of the driver's 30-second limits, one case per limit: an asynchronous batch
// whose server died (or answers too late) is given up, and Done stops waiting for a synchronous worker
// held in a call that never returns.

#include <gtest/gtest.h>

#include "tests/e2e/robustness/robust_fixture.h"
#include "tests/support/wait.h"

DriverApi ExchangeE2E::api;

namespace {

// The limit on an asynchronous batch and on stopping a worker, and the slack around it in which the
// host must hear of it (a loaded machine dispatches late, never early).
constexpr ULONGLONG kLimitMs = 30000;
constexpr ULONGLONG kEarlyMs = 500;
constexpr std::uint32_t kLimitWaitMs = 45000;

class AsyncLimitE2E : public RobustE2E {
protected:
    ::testing::AssertionResult NotifiedWithinTheLimit(std::size_t count)
    {
        return WaitUntil([&] { return host.notes.size() >= count; }, kLimitWaitMs, "the host's notification");
    }
};

INSTANTIATE_TEST_SUITE_P(AsyncMode, AsyncLimitE2E, ::testing::Values(Mode::Async), ModeTestName);

TEST_P(AsyncLimitE2E, BatchesOutstandingWhenTheServerDiesFailAndAreNotifiedAfterTheLimit)
{
    ASSERT_TRUE(Start("behaviour delay OnReadComplete 600000\nbehaviour delay OnWriteComplete 600000\n"));
    ULONGLONG fired = GetTickCount64();
    host.RequestRead({kI4, kR8});
    host.FireRead();
    host.RequestWrite(kR8, Value(TypeF64, 7.5));
    host.FireWrite();
    ASSERT_TRUE(WaitForSimLog(host.Sim(), "call AsyncWrite", 1, kLimitWaitMs));
    ASSERT_TRUE(KillSimServer(host.Sim()));
    // A batch fired meanwhile waits for the outstanding one, as always.
    host.RequestRead({kBool});
    host.FireRead();
    EXPECT_EQ(host.ReadStatus(kBool), kPending);
    ASSERT_TRUE(NotifiedWithinTheLimit(2));
    ULONGLONG took = GetTickCount64() - fired;
    EXPECT_GE(took, kLimitMs - kEarlyMs);
    EXPECT_LT(took, kExportBoundMs);
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kR8), StatusFailed);
    EXPECT_EQ(host.WriteStatus(kR8), StatusFailed);
    // The deferred batch goes out at once against the dead server and fails on return, unnotified.
    ASSERT_TRUE(
        WaitUntil([&] { return host.ReadStatus(kBool) != kPending; }, kLimitWaitMs, "the deferred read"));
    EXPECT_EQ(host.ReadStatus(kBool), StatusFailed);
    PumpMessages();
    EXPECT_EQ(host.notes.size(), 2u);
    EXPECT_LT(EndInstance(), kQuickCallMs);
}

TEST_P(AsyncLimitE2E, CompletionAfterTheLimitIsIgnoredAndDoesNotEndTheNextBatch)
{
    ASSERT_TRUE(Start("behaviour delay OnReadComplete 33000\n"));
    host.RequestRead({kI4});
    host.FireRead();
    ASSERT_TRUE(NotifiedWithinTheLimit(1));
    EXPECT_EQ(host.notes[0].kind, 0u);
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    host.RequestRead({kR8});
    host.FireRead();
    ASSERT_TRUE(WaitForSimLog(host.Sim(), "callback OnReadComplete", 1, kLimitWaitMs));
    PumpMessages();
    EXPECT_EQ(host.notes.size(), 1u) << "the first batch's late answer ends nothing";
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kR8), kPending);
    EXPECT_LT(EndInstance(), kQuickCallMs);
}

class SyncLimitE2E : public RobustE2E {};

INSTANTIATE_TEST_SUITE_P(SyncMode, SyncLimitE2E, ::testing::Values(Mode::Sync), ModeTestName);

TEST_P(SyncLimitE2E, DoneGivesUpOnAWorkerHeldInACallThatNeverReturns)
{
    ASSERT_TRUE(Start("behaviour hang SyncRead\n"));
    host.RequestRead({kI4});
    host.FireRead();
    ASSERT_TRUE(WaitForSimLog(host.Sim(), "hang SyncRead", 1, kLimitWaitMs));
    EXPECT_EQ(host.ReadStatus(kI4), kPending);
    // The registration and the log go with the instance; the process stays.
    HANDLE hung = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, SimServerProcessId(host.Sim()));
    ASSERT_NE(hung, nullptr);
    ULONGLONG took = EndInstance();
    EXPECT_GE(took, kLimitMs - kEarlyMs);
    EXPECT_LT(took, kExportBoundMs);
    // The worker, still in the call, ends when the server does, with the record it alone holds now.
    EXPECT_TRUE(TerminateProcess(hung, 9));
    EXPECT_EQ(WaitForSingleObject(hung, kLimitWaitMs), WAIT_OBJECT_0);
    CloseHandle(hung);
    E2eHost next;
    ASSERT_TRUE(next.Start(api, Mode::Sync));
    ASSERT_TRUE(next.ReadBatch({kI4}));
    EXPECT_EQ(next.ReadStatus(kI4), StatusOk);
}

} // namespace
