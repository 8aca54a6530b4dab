// A server whose every thread stands still after it accepted a batch answers nothing: not the batch, not
// the release of its objects. The batch limit ends the batch and the instance lets go of the server;
// nothing of that may wait on the server in the host's thread, in either mode.

#include <atomic>
#include <string>
#include <thread>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/recovery/recovery_fixture.h"
#include "tests/e2e/robustness/robust_fixture.h"
#include "tests/support/sim_control.h"

namespace {

constexpr char kQuickLimit[] = "batch_timeout = 1\nreconnect = 0.3\n";
// Long past every bound below: a host's thread that waits on the frozen server shows as a wait this long.
constexpr DWORD kThawAfterMs = 15000;
constexpr ULONGLONG kHostBoundMs = 6000;

class FrozenServer : public RecoveryE2E {
protected:
    void TearDown() override
    {
        StopThaw();
        if (!host.Sim().logPath.empty()) {
            FreezeSimServer(host.Sim(), false);
            KillSimServer(host.Sim());
        }
        host.Stop();
    }
    // Freezes the server now and thaws it after kThawAfterMs whatever happens, so that a host's thread
    // caught waiting on it is freed and the test ends.
    ::testing::AssertionResult FreezeForAWhile()
    {
        thawEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ::testing::AssertionResult frozen = FreezeSimServer(host.Sim(), true);
        if (!frozen) return frozen;
        thaw = std::thread([this] {
            if (WaitForSingleObject(thawEvent, kThawAfterMs) == WAIT_TIMEOUT)
                FreezeSimServer(host.Sim(), false);
        });
        return frozen;
    }
    void StopThaw()
    {
        if (thawEvent == nullptr) return;
        SetEvent(thawEvent);
        if (thaw.joinable()) thaw.join();
        CloseHandle(thawEvent);
        thawEvent = nullptr;
    }

    HANDLE thawEvent = nullptr;
    std::thread thaw;
};

INSTANTIATE_TEST_SUITE_P(BothModes, FrozenServer, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(FrozenServer, LettingGoOfItNeverWaitsOnItInTheHostsThread)
{
    // The answer is held back long enough for the server to be frozen before it is sent.
    std::string slowAnswer =
        std::string("behaviour delay ") + (mode() == Mode::Sync ? "SyncRead" : "OnReadComplete") + " 3000\n";
    ASSERT_TRUE(StartWith(kQuickLimit, slowAnswer));
    host.FireRead({kI4, kR8});
    ASSERT_TRUE(FreezeForAWhile());

    ULONGLONG took = Timed([&] { EXPECT_TRUE(host.WaitNotified(1)); });
    EXPECT_LT(took, kHostBoundMs) << "the batch's end waited on the frozen server";
    ULONGLONG lostAfter = Timed([&] {
        EXPECT_TRUE(WaitUntil([&] { return SawTrace("Reconnect: batch time limit expired, server lost"); },
                              kRecoveryWaitMs, "the loss's trace line"));
    });
    EXPECT_LT(lostAfter, kHostBoundMs);
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
    // Lost and trying again while the server stands still: the host's thread goes on serving its own
    // messages.
    ULONGLONG end = GetTickCount64() + 2000;
    ULONGLONG pumped =
        Timed([&] { EXPECT_TRUE(WaitUntil([&] { return GetTickCount64() >= end; }, 10000, "two seconds")); });
    EXPECT_LT(pumped, kHostBoundMs) << "a message of the instance waited on the frozen server";
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
}

} // namespace
