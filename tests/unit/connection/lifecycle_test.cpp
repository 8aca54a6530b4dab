// Init and Done over the real parameter file and a fake server reached through COM, looking at the
// instance's own state: the asynchronous connection, the fall-back on either cause, what Done releases,
// and repeated cycles counted in allocator blocks. The texts and the modes as the host sees them are
// tested end to end (tests/e2e/connection).

#include <string>
#include <thread>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "connection/lifecycle.h"
#include "connection/worker.h"
#include "hostrt/core.h"
#include "tests/support/fake_opc.h"
#include "tests/support/process_census.h"
#include "tests/support/temp_file.h"
#include "tests/support/wait.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

constexpr std::uint32_t kWaitMs = 10000;

void __cdecl IgnoreNotification(std::uint32_t, std::uint32_t, std::uint32_t) {}

class Lifecycle : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        ASSERT_TRUE(host.Started());
    }
    void TearDown() override
    {
        FreeDriverRecord(drv);
        EXPECT_TRUE(WaitUntil([&] { return server.refs == 0 && server.group.refs == 0; }, kWaitMs,
                              "every reference on the server given back"));
        DriverRecordTest::TearDown();
    }

    // Writes a parameter file for the fake server with the given extra [server] lines, then runs Init.
    bool InitWith(const std::string& serverLines)
    {
        file = std::make_unique<TempFile>("[server]\nCLSID = " + ClsidText(host.clsid) + "\n" + serverLines +
                                          "[channels]\n1 = item1\n5-7 = item5\n");
        std::wstring name = file->Path();
        CopyText(127, err, 8, L"sentinel");
        return Init(*drv, static_cast<std::uint32_t>(name.size()), name.c_str(), 127, err, 77,
                    IgnoreNotification);
    }

    // The instance's state after Done, whatever the path.
    void ExpectReleased()
    {
        EXPECT_EQ(drv->window, nullptr);
        EXPECT_EQ(drv->channels.Count, 0u);
        EXPECT_EQ(drv->server, nullptr);
        EXPECT_EQ(drv->itemMgt, nullptr);
        EXPECT_EQ(drv->thread, nullptr);
        EXPECT_EQ(drv->stopEvent, nullptr);
        EXPECT_FALSE(HasFlag(*drv, ComInit));
        EXPECT_FALSE(drv->ready);
        EXPECT_EQ(drv->shutdownSink.refs, 0);
        EXPECT_EQ(drv->dataSink.refs, 0);
        EXPECT_EQ(drv->shutdownSink.owner.load(), nullptr);
    }

    FakeServer server;
    FakeServerHost host{server};
    std::unique_ptr<TempFile> file;
    wchar_t err[128] = {};
};

TEST_F(Lifecycle, AsynchronousModeConnectsInTheHostsThread)
{
    ASSERT_TRUE(InitWith("")) << err;
    EXPECT_TRUE(drv->ready);
    EXPECT_FALSE(HasFlag(*drv, ThreadMode));
    EXPECT_NE(drv->asyncIo, nullptr);
    EXPECT_TRUE(HasFlag(*drv, DataAdvised | ShutdownAdvised | ComInit));
    EXPECT_EQ(drv->userData, 77u);
    EXPECT_EQ(drv->notify, IgnoreNotification);
    EXPECT_EQ(FindChannel(drv->channels, 6)->serverHandle, FakeGroup::kFirstServerHandle + 1);
    Done(*drv);
    ExpectReleased();
    EXPECT_EQ(server.group.dataPoint.unadviseCalls, 1);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
}

struct FallBackCase {
    const char* name;
    void (*prepare)(FakeServer&);
};

TEST_F(Lifecycle, AGroupThatCannotServeAsynchronousModeFallsBackToTheWorker)
{
    const FallBackCase cases[] = {
        {"no IOPCAsyncIO2", [](FakeServer& s) { s.group.offerAsyncIo = false; }},
        {"refused data callback",
         [](FakeServer& s) { s.group.dataPoint.adviseResult = CONNECT_E_CANNOTCONNECT; }},
    };
    for (const FallBackCase& row : cases) {
        SCOPED_TRACE(row.name);
        row.prepare(server);
        ASSERT_TRUE(InitWith("")) << err;
        EXPECT_TRUE(HasFlag(*drv, ThreadMode));
        EXPECT_TRUE(WorkerAlive(*drv));
        EXPECT_EQ(drv->asyncIo, nullptr);
        EXPECT_EQ(server.addGroupCalls, 2) << "once in each mode";
        // The host thread's COM initialisation went with the asynchronous attempt.
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
        Done(*drv);
        ExpectReleased();
        FreeDriverRecord(drv);
        drv = MakeDriverRecord();
        server.addGroupCalls = 0;
        server.group.offerAsyncIo = true;
        server.group.dataPoint.adviseResult = S_OK;
    }
}

TEST_F(Lifecycle, AGroupFailureInTheHostsThreadIsReleasedThereByDone)
{
    server.group.offerPoints = false;
    EXPECT_FALSE(InitWith(""));
    EXPECT_STREQ(err, L"OPC server does not comply to OPC Data Access v2 specifications");
    EXPECT_NE(drv->itemMgt, nullptr) << "kept for Done";
    Done(*drv);
    ExpectReleased();
    EXPECT_EQ(server.group.refs, 0);
}

TEST_F(Lifecycle, DisposingWithoutDoneRunsDoneFirst)
{
    ASSERT_TRUE(InitWith("sync = yes\n")) << err;
    HWND window = drv->window;
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), drv->thread, GetCurrentProcess(), &thread, SYNCHRONIZE,
                                FALSE, 0));
    FreeDriverRecord(drv);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the worker was stopped";
    CloseHandle(thread);
}

TEST_F(Lifecycle, DoneTwiceIsHarmless)
{
    ASSERT_TRUE(InitWith("")) << err;
    Done(*drv);
    Done(*drv);
    ExpectReleased();
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
}

// A host that calls Done before Init: the Init that follows makes a whole instance, and the next Done
// releases it.
TEST_F(Lifecycle, DoneBeforeInitLeavesInitAndTheNextDoneWorking)
{
    Done(*drv);
    ASSERT_TRUE(InitWith("")) << err;
    EXPECT_EQ(drv->shutdownSink.owner.load(), drv) << "the sinks speak for the instance";
    Done(*drv);
    ExpectReleased();
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
}

TEST_F(Lifecycle, AfterAShutdownNoticeDoneTouchesNothingOfTheConnection)
{
    ASSERT_TRUE(InitWith("")) << err;
    // The server's notice comes from its own thread and reaches the host's apartment while it pumps.
    std::thread serverSide([&] { CallFromMta([&] { return server.shutdownPoint.NotifyShutdown(L"bye"); }); });
    EXPECT_TRUE(WaitUntil([&] { return drv->server == nullptr; }, kWaitMs, "the shutdown handled"));
    serverSide.join();
    EXPECT_TRUE(IsServerDown(*drv));
    EXPECT_FALSE(HasFlag(*drv, ComInit));
    Done(*drv);
    ExpectReleased();
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
    EXPECT_EQ(server.group.dataPoint.unadviseCalls, 0);
}

// Cycles of a whole instance life leave nothing behind: no allocator block, no handle, no thread.
// Process-wide counts move with COM's own threads and caches, hence a margin far below one per cycle.
// Under Wine every new thread that exports an object (a worker advising the shutdown sink) leaves an
// RPC endpoint of two handles behind for good, and after about 64 of them the process's COM stops
// serving calls; so the synchronous cycles run against a server without shutdown notices.
TEST_F(Lifecycle, HundredCyclesInEachModeLeaveNothingBehind)
{
    constexpr int kCycles = 100;
    constexpr std::uint32_t kMargin = 10;
    for (const char* lines : {"", "sync = yes\n"}) {
        SCOPED_TRACE(lines[0] == '\0' ? "asynchronous" : "synchronous");
        server.offerShutdownPoint = lines[0] == '\0';
        auto cycle = [&] {
            OpcDriver* instance = MakeDriverRecord();
            ASSERT_NE(instance, nullptr);
            std::swap(instance, drv);
            bool connected = InitWith(lines);
            Done(*drv);
            FreeDriverRecord(drv);
            drv = instance;
            ASSERT_TRUE(connected) << err;
        };
        cycle(); // COM's first use in this mode creates its own lasting state
        std::uint32_t blocks = LiveBlockCount();
        std::uint32_t handles = OpenHandleCount();
        std::uint32_t threads = ThreadCount();
        for (int i = 0; i < kCycles && !HasFailure(); ++i)
            cycle();
        EXPECT_EQ(LiveBlockCount(), blocks);
        EXPECT_LE(OpenHandleCount(), handles + kMargin);
        EXPECT_LE(ThreadCount(), threads + kMargin);
    }
}

} // namespace
