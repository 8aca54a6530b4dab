// Servers that fail under a running instance, end to end in both modes: one that exits inside the read
// or write call, one whose call never returns until its process is ended, one whose completions name
// client handles the instance never gave, and one that sends its shutdown notice while a batch of each
// direction is outstanding and answers afterwards. Every export returns within its bound, every channel
// ends in a defined status, and Done and DisposeDriver complete.

#include <gtest/gtest.h>

#include "tests/e2e/robustness/robust_fixture.h"
#include "tests/support/wait.h"

DriverApi ExchangeE2E::api;

namespace {

class FailingServerE2E : public RobustE2E {
protected:
    // The server call (synchronous mode) or completion (asynchronous mode) that ends the batch.
    const char* Answer(bool write) const
    {
        if (mode() == Mode::Sync) return write ? "SyncWrite" : "SyncRead";
        return write ? "OnWriteComplete" : "OnReadComplete";
    }
    // Fires a read of two channels or a write of one and returns how long firing took; a batch that
    // goes out in synchronous mode is awaited (the worker's answer is notified even when it failed).
    ULONGLONG FireAndSettle(bool write)
    {
        std::size_t notified = host.notes.size();
        ULONGLONG took = Timed([&] {
            if (write) {
                host.RequestWrite(kR8, Value(TypeF64, 7.5));
                host.FireWrite();
            } else {
                host.RequestRead({kI4, kR8});
                host.FireRead();
            }
        });
        if (mode() == Mode::Sync) {
            EXPECT_TRUE(host.WaitNotified(notified + 1));
        }
        return took;
    }

public:
    // Ends the server once its read call hangs (from another thread: the host's may be held in the call).
    bool KillOnHang() const
    {
        return WaitForSimLog(host.Sim(), std::string("hang ") + ReadCall(mode()), 1, kWaitMs) &&
               KillSimServer(host.Sim());
    }

protected:
    void ExpectFailed(bool write)
    {
        if (write) {
            EXPECT_EQ(host.WriteStatus(kR8), StatusFailed);
        } else {
            EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
            EXPECT_EQ(host.ReadStatus(kR8), StatusFailed);
        }
    }
};

INSTANTIATE_TEST_SUITE_P(BothModes, FailingServerE2E, ::testing::Values(Mode::Async, Mode::Sync),
                         ModeTestName);

TEST_P(FailingServerE2E, ServerThatExitsInsideTheCallFailsThatBatchAndEveryLaterOne)
{
    for (bool write : {false, true}) {
        SCOPED_TRACE(write ? "write" : "read");
        host.notes.clear();
        ASSERT_TRUE(Start(Behaviour("crash", write)));
        EXPECT_LT(FireAndSettle(write), kQuickCallMs);
        ExpectFailed(write);
        // The connection is broken for good: the other direction fails as fast, in the same way.
        EXPECT_LT(FireAndSettle(!write), kQuickCallMs);
        ExpectFailed(!write);
        // In asynchronous mode a failed issue is final on return, and nothing is notified.
        PumpMessages();
        EXPECT_EQ(host.notes.size(), mode() == Mode::Sync ? 2u : 0u);
        EXPECT_LT(EndInstance(), kQuickCallMs);
    }
}

TEST_P(FailingServerE2E, ShutdownNoticeWithABatchOfEachDirectionOutstandingEndsEachOnceAsServerDown)
{
    // The answers come 5 s after the calls; the notice 2.5 s after the server object was made, so while
    // both batches are out (the instance fires them right after Init).
    ASSERT_TRUE(Start(std::string("behaviour delay ") + Answer(false) + " 5000\nbehaviour delay " +
                      Answer(true) + " 5000\nbehaviour shutdown after=2500ms reason=maintenance\n"));
    host.RequestRead({kI4});
    host.FireRead();
    host.RequestWrite(kR8, Value(TypeF64, 7.5));
    host.FireWrite();
    ASSERT_TRUE(host.WaitNotified(2));
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
    EXPECT_EQ(host.WriteStatus(kR8), StatusServerDown);
    std::uint32_t kinds = 0;
    for (const HostNote& note : host.notes)
        kinds |= 1u << note.kind;
    EXPECT_EQ(kinds, 3u) << "one notification of each kind";
    // The late answers reach an instance that no longer listens: nothing more is notified or stored.
    std::string late = mode() == Mode::Sync ? "call SyncRead " : "callback OnReadComplete";
    ASSERT_TRUE(WaitUntil([&] { return !Logged(late).empty() || !Logged("drop OnReadComplete").empty(); },
                          kWaitMs, "the server's late answer"));
    std::vector<std::string> log = ReadSimLog(host.Sim());
    std::size_t notice = 0, answer = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind("shutdown-notice", 0) == 0) notice = i;
        if (log[i].rfind(late, 0) == 0 || log[i].rfind("drop OnReadComplete", 0) == 0) answer = i;
    }
    // A completion is logged as it is sent; a synchronous call when it returns, after a notice it let in.
    if (mode() == Mode::Async) {
        EXPECT_LT(notice, answer) << "the notice came while the read was outstanding";
    }
    PumpMessages();
    EXPECT_EQ(host.notes.size(), 2u);
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
    EXPECT_LT(EndInstance(), kQuickCallMs);
}

DWORD WINAPI KillWhenHung(void* test)
{
    auto& self = *static_cast<FailingServerE2E*>(test);
    return self.KillOnHang() ? 0 : 1;
}

// A read call that never returns ends with the server's process: in asynchronous mode the host's own
// thread is held in the call until then (the driver cannot bound a call the server never answers); in
// synchronous mode the worker is, and the host is notified of the failed batch.
TEST_P(FailingServerE2E, CallThatNeverReturnsEndsWhenTheServerEnds)
{
    ASSERT_TRUE(Start(Behaviour("hang", false)));
    HANDLE killer = CreateThread(nullptr, 0, KillWhenHung, this, 0, nullptr);
    ASSERT_NE(killer, nullptr);
    host.RequestRead({kI4});
    host.FireRead();
    EXPECT_EQ(WaitForSingleObject(killer, kWaitMs), WAIT_OBJECT_0);
    DWORD killed = 1;
    GetExitCodeThread(killer, &killed);
    CloseHandle(killer);
    EXPECT_EQ(killed, 0u) << "the server was ended while the call hung";
    if (mode() == Mode::Sync) {
        ASSERT_TRUE(host.WaitNotified(1));
    }
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    PumpMessages();
    EXPECT_EQ(host.notes.size(), mode() == Mode::Sync ? 1u : 0u);
    EXPECT_LT(EndInstance(), kQuickCallMs);
}

class AsyncFailingServerE2E : public FailingServerE2E {};

INSTANTIATE_TEST_SUITE_P(AsyncMode, AsyncFailingServerE2E, ::testing::Values(Mode::Async), ModeTestName);

TEST_P(AsyncFailingServerE2E, CompletionsNamingUnknownClientHandlesStoreNothingAndFailTheBatchOnce)
{
    ASSERT_TRUE(
        Start("behaviour foreign-handles OnReadComplete\nbehaviour foreign-handles OnWriteComplete\n"));
    host.RequestRead({kI4, kR8});
    host.FireRead();
    host.RequestWrite(kR8, Value(TypeF64, 7.5));
    host.FireWrite();
    ASSERT_TRUE(host.WaitNotified(2));
    ExpectFailed(false);
    ExpectFailed(true);
    EXPECT_EQ(host.Get(kI4, TypeI32).quality, 0u) << "nothing was stored";
    PumpMessages();
    EXPECT_EQ(host.notes.size(), 2u);
    EXPECT_LT(EndInstance(), kQuickCallMs);
}

} // namespace
