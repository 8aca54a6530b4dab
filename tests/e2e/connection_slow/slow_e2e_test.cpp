// The limits that take their full time to show: the 15 s wait for a running server, the 30 s wait at
// Done for a worker stuck in a call to a hung server, and the bounded wait for a worker to start.

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/wait.h"

namespace {

class Limits : public ConnectionTest {};

TEST_F(Limits, AServerThatStaysNotConfiguredFailsAfterFifteenSeconds)
{
    ASSERT_TRUE(Serve("behaviour status NOCONFIG\n"));
    E2eHost host;
    std::string text;
    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Connect(host, "wait_running = yes\n", Width::Ansi, &text));
    ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_EQ(text, "Server not configured");
    EXPECT_GE(elapsed, 15000u);
    EXPECT_LT(elapsed, 25000u) << "the server's launch and the queries add little";
    // About every 100 ms, plus the time each query takes.
    EXPECT_GE(SimLogLines(sim, "call GetStatus").size(), 50u);
}

// The host gives up after 30 s and unloads the library; the worker, stuck in the server's call, must
// then touch nothing of the freed instance, and keeps the library mapped until its very end.
TEST_F(Limits, AWorkerStuckInAHungServerOutlivesDoneDisposeAndUnloading)
{
    ASSERT_TRUE(Serve("behaviour hang SyncRead\n"));
    E2eHost host;
    std::string text;
    ASSERT_TRUE(Connect(host, "sync = yes\n", Width::Ansi, &text)) << text;
    host.FireRead({kLevel});
    ASSERT_TRUE(WaitForSimLog(sim, "hang SyncRead", 1, kWaitMs));

    ULONGLONG start = GetTickCount64();
    host.Done();
    EXPECT_GE(GetTickCount64() - start, 30000u);
    EXPECT_TRUE(DriverWindows().empty());
    host.Stop();
    UnloadDriverApi(api);
    EXPECT_NE(GetModuleHandleW(L"tagport.dll"), nullptr) << "held by the worker";

    // The call fails once the server is gone; the worker then ends and lets go of the library.
    ASSERT_TRUE(KillSimServer(sim));
    EXPECT_TRUE(WaitUntil([] { return GetModuleHandleW(L"tagport.dll") == nullptr; }, kWaitMs,
                          "the worker's end unloading the library"));
}

// A worker that never becomes ready (its server hangs in the first status query) fails Init after the
// connection's own limits plus a margin; the worker is left to end on its own, as at Done.
TEST_F(Limits, AWorkerThatNeverBecomesReadyFailsInitAfterTheBoundedWait)
{
    ASSERT_TRUE(Serve("behaviour hang GetStatus\n"));
    E2eHost host;
    std::string text;
    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Connect(host, "sync = yes\n", Width::Wide, &text));
    EXPECT_GE(GetTickCount64() - start, 45000u);
    EXPECT_EQ(text, "OPC server did not answer in time");
    host.Stop();
    UnloadDriverApi(api);
    ASSERT_TRUE(KillSimServer(sim));
    EXPECT_TRUE(WaitUntil([] { return GetModuleHandleW(L"tagport.dll") == nullptr; }, kWaitMs,
                          "the worker's end unloading the library"));
}

} // namespace
