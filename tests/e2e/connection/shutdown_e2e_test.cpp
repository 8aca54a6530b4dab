// The server's shutdown notice and the server's death, end to end in both modes.

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/wait.h"

namespace {

constexpr std::uint32_t kStatusServerDown = 1;
constexpr std::uint32_t kStatusFailed = 2;
constexpr std::uint32_t kMsgServerShutdown = 1029;

class Shutdown : public ConnectionTest, public ::testing::WithParamInterface<Mode> {
protected:
    std::string Lines() const { return ModeLines(GetParam()); }

    // Polls the server's log while this thread dispatches nothing, so that messages posted to the
    // instance meanwhile stay queued in the order they were posted.
    ::testing::AssertionResult WaitForLogWithoutDispatching(const std::string& prefix)
    {
        ULONGLONG start = GetTickCount64();
        while (SimLogLines(sim, prefix).empty()) {
            if (GetTickCount64() - start >= kWaitMs) return ::testing::AssertionFailure() << "no " << prefix;
            WaitForSingleObject(GetCurrentProcess(), 20); // a process never ends under its own wait
        }
        return ::testing::AssertionSuccess();
    }
};

// Without any batch: the notice reaches an idle instance in either mode (in synchronous mode the worker's
// apartment must dispatch the call while it waits for work).
TEST_P(Shutdown, TheNoticeMakesTheInstanceInertAndDoneTouchesNothingOfTheConnection)
{
    ASSERT_TRUE(Serve("behaviour shutdown after=1500ms reason=\"plant stop\"\n"));
    E2eHost host;
    std::string text;
    ASSERT_TRUE(Connect(host, Lines(), Width::Ansi, &text)) << text;
    EXPECT_TRUE(WaitUntil([&] { return host.ReadStatus(kLevel) == kStatusServerDown; }, kWaitMs,
                          "StatusServerDown without any batch"));
    ASSERT_TRUE(WaitForSimLog(sim, "shutdown reason=\"plant stop\" hr=0x00000000", 1, kWaitMs));
    std::size_t linesAtNotice = ReadSimLog(sim).size();

    // Nothing reaches the server any more: no batch, and the tear-down neither unadvises nor releases.
    host.FireRead({kLevel});
    EXPECT_EQ(host.ReadStatus(kLevel), kStatusServerDown);
    // A second notice, or a stray message, changes nothing.
    std::vector<HWND> windows = DriverWindows();
    ASSERT_EQ(windows.size(), 1u);
    PostMessageA(windows[0], kMsgServerShutdown, 0, 0);
    PumpMessages();
    EXPECT_EQ(host.ReadStatus(kPump), kStatusServerDown);
    host.Stop();
    EXPECT_EQ(DriverWindows().size(), 0u);
    EXPECT_EQ(ReadSimLog(sim).size(), linesAtNotice);
    EXPECT_EQ(host.notes.size(), 0u) << "no batch was outstanding";
}

// The server answers its calls in one apartment, so its notice can only follow a synchronous read that it
// delays; the host then does not dispatch until the notice is through, which leaves the read's completion
// behind the notice in the window's queue. In asynchronous mode the completion itself is delayed.
TEST_P(Shutdown, ABatchOutstandingAtTheNoticeIsNotifiedOnce)
{
    bool sync = GetParam() == Mode::Sync;
    ASSERT_TRUE(Serve(sync ? "behaviour delay SyncRead 2000\nbehaviour shutdown after=1000ms\n"
                           : "behaviour delay OnReadComplete 4000\nbehaviour shutdown after=2000ms\n"));
    E2eHost host;
    std::string text;
    ASSERT_TRUE(Connect(host, Lines(), Width::Wide, &text)) << text;
    host.FireRead({kLevel});
    if (sync) {
        ASSERT_TRUE(WaitForLogWithoutDispatching("shutdown reason="));
    }
    ASSERT_TRUE(host.WaitNotified(1));
    EXPECT_EQ(host.notes[0].userData, kHostUserData);
    EXPECT_EQ(host.notes[0].kind, 0u);
    EXPECT_EQ(host.notes[0].zero, 0u);
    EXPECT_EQ(host.ReadStatus(kLevel), kStatusServerDown);
    // Whatever the server still delivers for the batch is not a second notification.
    WaitUntil([] { return false; }, 3000, "the delayed completion");
    EXPECT_EQ(host.notes.size(), 1u);
    host.Stop();
}

// A server that dies without a notice: batches fail, and Done ends without hanging or crashing.
TEST_P(Shutdown, AServerThatDiesLeavesAnInstanceThatFailsItsBatchesAndEndsCleanly)
{
    ASSERT_TRUE(Serve());
    E2eHost host;
    std::string text;
    ASSERT_TRUE(Connect(host, Lines(), Width::Ansi, &text)) << text;
    ASSERT_TRUE(KillSimServer(sim));
    host.FireRead({kLevel});
    EXPECT_TRUE(WaitUntil([&] { return host.ReadStatus(kLevel) == kStatusFailed; }, kWaitMs,
                          "the read failing against the dead server"));
    ULONGLONG start = GetTickCount64();
    host.Stop();
    EXPECT_LT(GetTickCount64() - start, 10000u) << "Done waits no longer than COM's failure takes";
    EXPECT_EQ(DriverWindows().size(), 0u);
}

// Notices arriving from the server's own thread while synchronous batches follow each other back to back
// (the worker's hand-back and the notice race for the flags word): whenever it comes, the instance ends
// inert, every batch that went out is notified once, and Done does not hang.
TEST_F(ConnectionTest, NoticesAmidBackToBackBatchesAlwaysLeaveTheInstanceInert)
{
    for (int afterMs : {700, 1100, 1500}) {
        SCOPED_TRACE(afterMs);
        ASSERT_TRUE(Serve("behaviour shutdown after=" + std::to_string(afterMs) + "ms\n"));
        E2eHost host;
        std::string text;
        ASSERT_TRUE(Connect(host, "sync = yes\n", Width::Ansi, &text)) << text;
        std::vector<HostNote>& notes = host.notes;
        notes.clear();
        std::size_t fired = 0;
        // Bounded: a notice that never comes fails the test instead of firing reads for ever.
        ULONGLONG firingSince = GetTickCount64();
        while (host.ReadStatus(kLevel) != kStatusServerDown) {
            ASSERT_LT(GetTickCount64() - firingSince, kWaitMs + static_cast<ULONGLONG>(afterMs))
                << "no shutdown notice after " << fired << " reads";
            std::size_t before = notes.size();
            host.FireRead({kLevel});
            ++fired;
            ASSERT_TRUE(WaitUntil(
                [&] { return notes.size() > before || host.ReadStatus(kLevel) == kStatusServerDown; },
                kWaitMs, "the batch's notification or the notice"));
        }
        // The last read may have gone out before the notice, or have found the instance down already.
        EXPECT_TRUE(WaitUntil([&] { return notes.size() + 1 >= fired; }, kWaitMs, "every batch notified"));
        PumpMessages();
        EXPECT_LE(notes.size(), fired);
        EXPECT_GT(fired, 1u);
        ULONGLONG start = GetTickCount64();
        host.Stop();
        EXPECT_LT(GetTickCount64() - start, 10000u);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, Shutdown, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

} // namespace
