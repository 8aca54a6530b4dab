// ConnectServer and ReleaseServer against a fake server reached through COM activation and the
// proxy/stub, from the test's own single-threaded apartment as in asynchronous mode.

#include <thread>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "connection/server_connection.h"
#include "tests/support/fake_opc.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

constexpr wchar_t kStatusText[] = L"Cannot get server status (server specific error)";
constexpr wchar_t kCreateText[] = L"Cannot create specified OPC server instance";

class ServerConnection : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        ASSERT_TRUE(host.Started());
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        drv->serverClsid = host.clsid;
    }
    void TearDown() override
    {
        ReleaseServer(*drv);
        EXPECT_EQ(drv->shutdownSink.refs, 0) << "no stub keeps the sink once the connection is released";
        CoUninitialize();
        EXPECT_EQ(server.refs, 0) << "every server reference given back";
        DriverRecordTest::TearDown();
    }

    void Answer(std::initializer_list<StatusAnswer> answers)
    {
        server.statusAnswers = answers;
        server.getStatusCalls = 0;
    }

    FakeServer server;
    FakeServerHost host{server};
};

TEST_F(ServerConnection, ConnectsToARunningServerAndAdvisesTheShutdownSink)
{
    ASSERT_TRUE(ConnectServer(*drv));
    EXPECT_TRUE(HasFlag(*drv, ComInit));
    EXPECT_TRUE(HasFlag(*drv, ShutdownAdvised));
    EXPECT_EQ(drv->shutdownCookie, FakeConnectionPoint::kCookie);
    EXPECT_EQ(server.getStatusCalls, 1);
    EXPECT_GT(drv->shutdownSink.refs, 0) << "COM's stub holds the advised sink";

    ReleaseServer(*drv);
    EXPECT_EQ(server.shutdownPoint.unadvisedCookie, FakeConnectionPoint::kCookie);
    EXPECT_FALSE(HasFlag(*drv, ShutdownAdvised | ComInit));
    EXPECT_EQ(drv->server, nullptr);
    EXPECT_EQ(drv->serverPoints, nullptr);
    EXPECT_EQ(drv->shutdownPoint, nullptr);
    EXPECT_EQ(drv->shutdownSink.refs, 0);
}

struct StateCase {
    const char* name;
    StatusAnswer answer;
    const wchar_t* text; // null: connects
};

TEST_F(ServerConnection, TheFirstStatusDecides)
{
    const StateCase cases[] = {
        {"running", {S_OK, OPC_STATUS_RUNNING, true}, nullptr},
        {"test", {S_OK, OPC_STATUS_TEST, true}, nullptr},
        {"failed", {S_OK, OPC_STATUS_FAILED, true}, L"Server startup failed"},
        {"not configured", {S_OK, OPC_STATUS_NOCONFIG, true}, L"Server not configured"},
        {"suspended", {S_OK, OPC_STATUS_SUSPENDED, true}, L"Server in suspend mode"},
        {"state 0", {S_OK, 0, true}, L"Server returned undefined status"},
        {"state 6", {S_OK, 6, true}, L"Server returned undefined status"},
        {"query failed", {E_FAIL, OPC_STATUS_RUNNING, false}, kStatusText},
        {"S_OK without a record", {S_OK, OPC_STATUS_RUNNING, false}, kStatusText},
        {"S_FALSE with a record", {S_FALSE, OPC_STATUS_RUNNING, true}, kStatusText},
    };
    for (const StateCase& row : cases) {
        SCOPED_TRACE(row.name);
        Answer({row.answer});
        CopyText(kLastErrorMax, drv->lastError, 5, L"clean");
        EXPECT_EQ(ConnectServer(*drv), row.text == nullptr);
        EXPECT_STREQ(drv->lastError, row.text == nullptr ? L"clean" : row.text);
        EXPECT_EQ(server.getStatusCalls, 1);
        // A failure undoes nothing: the server stays held for ReleaseServer.
        EXPECT_NE(drv->server, nullptr);
        ReleaseServer(*drv);
    }
}

TEST_F(ServerConnection, WaitsForANotConfiguredServerToRun)
{
    SetFlag(*drv, WaitRunning);
    Answer({{S_OK, OPC_STATUS_NOCONFIG}, {S_OK, OPC_STATUS_NOCONFIG}, {S_OK, OPC_STATUS_RUNNING}});
    EXPECT_TRUE(ConnectServer(*drv));
    EXPECT_EQ(server.getStatusCalls, 3);
}

TEST_F(ServerConnection, OnlyRunningEndsTheWait)
{
    SetFlag(*drv, WaitRunning);
    Answer({{S_OK, OPC_STATUS_NOCONFIG},
            {S_OK, OPC_STATUS_TEST},
            {S_OK, OPC_STATUS_FAILED},
            {S_OK, OPC_STATUS_SUSPENDED},
            {S_OK, OPC_STATUS_RUNNING}});
    EXPECT_TRUE(ConnectServer(*drv));
    EXPECT_EQ(server.getStatusCalls, 5);
}

TEST_F(ServerConnection, AFailedQueryDuringTheWaitFails)
{
    SetFlag(*drv, WaitRunning);
    Answer({{S_OK, OPC_STATUS_NOCONFIG}, {E_FAIL, 0, false}});
    EXPECT_FALSE(ConnectServer(*drv));
    EXPECT_STREQ(drv->lastError, kStatusText);
    EXPECT_EQ(server.getStatusCalls, 2);
}

TEST_F(ServerConnection, WaitTimeIsOnePauseBeforeTheFirstQueryAndNoneDuringTheWait)
{
    constexpr std::uint32_t kPauseMs = 600;
    drv->waitTimeMs = kPauseMs;
    SetFlag(*drv, WaitRunning);
    Answer({{S_OK, OPC_STATUS_NOCONFIG}, {S_OK, OPC_STATUS_NOCONFIG}, {S_OK, OPC_STATUS_RUNNING}});
    ASSERT_TRUE(ConnectServer(*drv));
    std::vector<std::uint64_t> ticks = server.StatusTicks();
    ASSERT_EQ(ticks.size(), 3u);
    // Lower bounds only; the upper one has the whole pause as its margin.
    EXPECT_GE(ticks[0] - host.factory.createTick, kPauseMs - 20);
    EXPECT_LT(ticks[1] - ticks[0], kPauseMs);
    EXPECT_LT(ticks[2] - ticks[1], kPauseMs);
}

TEST_F(ServerConnection, AnUnregisteredServerFailsAndKeepsTheComInitialisationForRelease)
{
    CoCreateGuid(&drv->serverClsid);
    EXPECT_FALSE(ConnectServer(*drv));
    EXPECT_STREQ(drv->lastError, kCreateText);
    EXPECT_EQ(drv->server, nullptr);
    EXPECT_TRUE(HasFlag(*drv, ComInit));
}

TEST_F(ServerConnection, ARemoteMachineIsReachedOnlyRemotely)
{
    // Remote activation does not exist under Wine: the class is "not registered" at once, whereas a
    // local activation (context 20) would have found the fake.
    CopyText(kHostNameMax, drv->hostName, 11, L"remote-host");
    EXPECT_FALSE(ConnectServer(*drv));
    EXPECT_STREQ(drv->lastError, kCreateText);
    EXPECT_EQ(drv->server, nullptr);
    EXPECT_EQ(server.getStatusCalls, 0);
}

TEST_F(ServerConnection, AServerWithoutShutdownNoticesIsAcceptedSilently)
{
    server.offerPoints = false;
    EXPECT_TRUE(ConnectServer(*drv));
    EXPECT_EQ(drv->serverPoints, nullptr);
    EXPECT_FALSE(HasFlag(*drv, ShutdownAdvised));
    ReleaseServer(*drv);

    server.offerPoints = true;
    server.offerShutdownPoint = false;
    EXPECT_TRUE(ConnectServer(*drv));
    EXPECT_NE(drv->serverPoints, nullptr);
    EXPECT_EQ(drv->shutdownPoint, nullptr);
    ReleaseServer(*drv);
}

TEST_F(ServerConnection, ARefusedAdviseKeepsThePointAndIsNeverUnadvised)
{
    server.shutdownPoint.adviseResult = CONNECT_E_CANNOTCONNECT;
    EXPECT_TRUE(ConnectServer(*drv));
    EXPECT_NE(drv->shutdownPoint, nullptr);
    EXPECT_FALSE(HasFlag(*drv, ShutdownAdvised));
    ReleaseServer(*drv);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
    EXPECT_EQ(drv->shutdownPoint, nullptr);
}

TEST_F(ServerConnection, ReleaseTwiceReleasesOnce)
{
    ASSERT_TRUE(ConnectServer(*drv));
    ReleaseServer(*drv);
    ReleaseServer(*drv);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
    EXPECT_FALSE(HasFlag(*drv, ComInit));
}

// Whether COM was initialised in the thread before or not, ReleaseServer gives back exactly the one
// initialisation that ConnectServer took.
TEST_F(ServerConnection, TheComInitialisationIsBalancedInAThreadOfItsOwn)
{
    CLSID unknown;
    CoCreateGuid(&unknown);
    HRESULT fresh = E_FAIL;
    HRESULT kept = E_FAIL;
    std::thread worker([&] {
        OpcDriver* own = MakeDriverRecord();
        own->serverClsid = unknown;
        ConnectServer(*own);
        ReleaseServer(*own);
        fresh = CoInitialize(nullptr); // S_OK: nothing of the driver's initialisation was left
        ConnectServer(*own);
        ReleaseServer(*own);
        kept = CoInitialize(nullptr); // S_FALSE: the thread's own initialisation was not taken away
        CoUninitialize();
        CoUninitialize();
        FreeDriverRecord(own);
    });
    worker.join();
    EXPECT_EQ(fresh, S_OK);
    EXPECT_EQ(kept, S_FALSE);
}

} // namespace
