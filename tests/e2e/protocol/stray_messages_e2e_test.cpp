// Messages 1025 to 1031 and the batch timers, posted to the driver's window and broadcast to every
// top-level window as any program could, while a batch is outstanding: with the worker inside a delayed
// IOPCSyncIO call, and with an asynchronous completion the server delays, for reads and writes. None
// of them changes the batch; it ends once, with what the server really answered.

#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"
#include "tests/e2e/protocol/driver_windows.h"
#include "tests/support/wait.h"

DriverApi ExchangeE2E::api;

namespace {

constexpr std::uint32_t kWaitMs = 20000;
// Long enough for every stray to be dispatched before the server answers.
constexpr char kDelays[] = "behaviour delay SyncRead 1500\nbehaviour delay SyncWrite 1500\n"
                           "behaviour delay OnReadComplete 1500\nbehaviour delay OnWriteComplete 1500\n";
constexpr std::int32_t kServerI4 = 123456; // Sim.I4 of the standard items
constexpr std::int32_t kWritten = -4711;

class StrayMessagesE2E : public ExchangeE2E {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Start(kDelays));
        std::vector<HWND> windows = DriverWindowsOfThisThread();
        ASSERT_EQ(windows.size(), 1u);
        window = windows[0];
    }
    // The worker is inside its call (synchronous), or the server has accepted the call (asynchronous).
    ::testing::AssertionResult BatchOutstanding(const char* syncCallLine)
    {
        if (mode() == Mode::Async) return ::testing::AssertionSuccess();
        return WaitUntil([&] { return Traced(syncCallLine); }, kWaitMs, syncCallLine);
    }
    void PostStrays()
    {
        for (UINT message = 1025; message <= 1031; ++message) {
            for (WPARAM number : {0u, 1u, 2u, 3u}) {
                PostMessageA(window, message, number, 0);
                PostMessageA(HWND_BROADCAST, message, number, 0);
            }
        }
        for (UINT_PTR timer : {1025u, 1026u}) {
            PostMessageA(window, WM_TIMER, timer, 0);
            PostMessageA(HWND_BROADCAST, WM_TIMER, timer, 0);
        }
        PumpMessages();
    }
    // After the one notification, whatever is still queued brings no second one.
    void ExpectNotifiedOnce(std::uint32_t kind)
    {
        ASSERT_TRUE(host.WaitNotified(1));
        PumpMessages();
        ASSERT_EQ(host.notes.size(), 1u);
        EXPECT_EQ(host.notes[0].kind, kind);
    }

    HWND window = nullptr;
};

INSTANTIATE_TEST_SUITE_P(BothModes, StrayMessagesE2E, ::testing::Values(Mode::Async, Mode::Sync),
                         ModeTestName);

TEST_P(StrayMessagesE2E, AReadBatchEndsOnlyWithTheServersValues)
{
    host.RequestRead({kI4});
    TraceLines();
    host.FireRead();
    ASSERT_TRUE(BatchOutstanding("IOPCSyncIO->Read( OPC_DS_DEVICE, ...)"));
    PostStrays();
    EXPECT_TRUE(host.notes.empty()) << "a stray message ended the batch";
    EXPECT_EQ(host.ReadStatus(kI4), kPending);
    ASSERT_NO_FATAL_FAILURE(ExpectNotifiedOnce(0));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    Delivered got = host.Get(kI4, TypeI32);
    EXPECT_EQ(ReadPayload<std::int32_t>(got.value), kServerI4);
    EXPECT_EQ(got.quality, 750u);
}

TEST_P(StrayMessagesE2E, AWriteBatchEndsOnlyWithTheServersAnswer)
{
    host.RequestWrite(kI4, Value(TypeI32, kWritten));
    TraceLines();
    host.FireWrite();
    ASSERT_TRUE(BatchOutstanding("IOPCSyncIO->Write(...)"));
    PostStrays();
    EXPECT_TRUE(host.notes.empty()) << "a stray message ended the batch";
    EXPECT_EQ(host.WriteStatus(kI4), kPending);
    ASSERT_NO_FATAL_FAILURE(ExpectNotifiedOnce(1));
    EXPECT_EQ(host.WriteStatus(kI4), StatusOk);
    EXPECT_EQ(Logged("write Sim.I4 ").size(), 1u);
    host.notes.clear();
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(ReadPayload<std::int32_t>(host.Get(kI4, TypeI32).value), kWritten);
}

} // namespace
