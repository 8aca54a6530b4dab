// Behaviours on demand, each scenario under a CLSID of its own (one server launch per test).
#include <thread>

#include "idl/opc_constants.h"
#include "tests/e2e/opcsim/sim_session.h"
#include "tests/e2e/opcsim/test_sinks.h"
#include "tests/support/sim_items.h"
#include "tests/support/wait.h"

namespace {

// One cache read of one item, its arrays freed.
HRESULT ReadOnce(IOPCSyncIO* io, OPCHANDLE handle)
{
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = io->Read(OPC_DS_CACHE, 1, &handle, &states, &errors);
    if (states != nullptr) VariantClear(&states[0].vDataValue);
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
    return hr;
}

} // namespace

class BehaviourTest : public SimSession {
protected:
    void Start(const std::string& behaviours)
    {
        ASSERT_TRUE(RegisterSimScenario(
            std::string("item Sim.R8 R8 rw 2.25\nitem Sim.I4 I4 rw 7\n") + behaviours, sim));
        ASSERT_TRUE(Connect(sim));
    }
    void TearDown() override
    {
        if (point != nullptr) {
            point->Unadvise(cookie);
            point->Release();
        }
        SimSession::TearDown();
        UnregisterSimScenario(sim);
    }
    // A group with both items, the data callback advised and its async interface held.
    void OpenAsync()
    {
        ASSERT_TRUE(CreateGroup(L"B", true));
        added = AddItems(itemMgt, {"Sim.R8", "Sim.I4"}, true);
        ASSERT_EQ(added.hr, S_OK);
        ASSERT_EQ(AdviseSink(itemMgt, IID_IOPCDataCallback, &sink, &point, &cookie), S_OK);
        async = GroupAs<IOPCAsyncIO2>(IID_IOPCAsyncIO2);
        ASSERT_NE(async, nullptr);
        held.push_back(async);
    }
    HRESULT AsyncRead(DWORD transId)
    {
        DWORD cancelId = 0;
        HRESULT* errors = nullptr;
        sink.inCall = true;
        HRESULT hr = async->Read(2, added.servers.data(), transId, &cancelId, &errors);
        sink.inCall = false;
        CoTaskMemFree(errors);
        return hr;
    }
    DWORD Status()
    {
        OPCSERVERSTATUS* status = nullptr;
        if (FAILED(server->GetStatus(&status))) return 0;
        DWORD state = status->dwServerState;
        CoTaskMemFree(status->szVendorInfo);
        CoTaskMemFree(status);
        return state;
    }
    SimServer sim{};
    AddedItems added{};
    IOPCAsyncIO2* async = nullptr;
    DataSink sink{};
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    // A member, not a local of the test: COM may call it (a late notice, its last Release) until the
    // apartment ends in TearDown, after the test's own body has returned.
    ShutdownSink shutdown{};
};

TEST_F(BehaviourTest, StatusFollowsTheScenarioSequenceCallByCall)
{
    Start("behaviour status NOCONFIG:2calls TEST:1calls 77\n");
    std::vector<DWORD> states;
    for (int i = 0; i < 5; ++i)
        states.push_back(Status());
    EXPECT_EQ(states, (std::vector<DWORD>{3, 3, 5, 77, 77}));
}

TEST_F(BehaviourTest, ForcedResultsFailCallsOrReplaceTheirSuccessCode)
{
    Start("behaviour result GetStatus 0x80004005 from=2\nbehaviour result AddGroup 0x0004000D\n"
          "behaviour result SyncRead 0x80004005\nbehaviour result SyncWrite 0x1\n");
    EXPECT_EQ(Status(), 1u);
    OPCSERVERSTATUS* status = reinterpret_cast<OPCSERVERSTATUS*>(0xDEADBEEF);
    EXPECT_EQ(server->GetStatus(&status), E_FAIL);
    EXPECT_EQ(status, nullptr);
    LONG bias = 0;
    DWORD revised = 0;
    EXPECT_EQ(server->AddGroup(L"G", TRUE, 1000, 1, &bias, nullptr, 0x800, &groupHandle, &revised,
                               IID_IOPCItemMgt, reinterpret_cast<IUnknown**>(&itemMgt)),
              OPC_S_UNSUPPORTEDRATE);
    ASSERT_NE(itemMgt, nullptr);
    added = AddItems(itemMgt, {"Sim.R8"}, true);
    IOPCSyncIO* io = GroupAs<IOPCSyncIO>(IID_IOPCSyncIO);
    ASSERT_NE(io, nullptr);
    held.push_back(io);
    OPCITEMSTATE* states = reinterpret_cast<OPCITEMSTATE*>(0xDEADBEEF);
    HRESULT* errors = reinterpret_cast<HRESULT*>(0xDEADBEEF);
    EXPECT_EQ(io->Read(OPC_DS_DEVICE, 1, added.servers.data(), &states, &errors), E_FAIL);
    EXPECT_EQ(states, nullptr);
    EXPECT_EQ(errors, nullptr);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_R8;
    V_R8(&value) = 1.0;
    ASSERT_EQ(io->Write(1, added.servers.data(), &value, &errors), S_FALSE);
    EXPECT_EQ(errors[0], S_OK); // S_FALSE although every item succeeded, as some servers do
    CoTaskMemFree(errors);
}

TEST_F(BehaviourTest, MissingInterfacesAndRefusedAdvise)
{
    Start("behaviour lacks group IOPCAsyncIO2\nbehaviour lacks group IOPCDataCallback\n"
          "behaviour result ShutdownAdvise 0x80040202\n");
    IConnectionPoint* shutdownPoint = nullptr;
    DWORD shutdownCookie = 0;
    EXPECT_EQ(AdviseSink(server, IID_IOPCShutdown, &shutdown, &shutdownPoint, &shutdownCookie),
              CONNECT_E_CANNOTCONNECT);
    ASSERT_NE(shutdownPoint, nullptr);
    shutdownPoint->Release();
    ASSERT_TRUE(CreateGroup(L"G", true));
    EXPECT_EQ(GroupAs<IOPCAsyncIO2>(IID_IOPCAsyncIO2), nullptr);
    IOPCSyncIO* io = GroupAs<IOPCSyncIO>(IID_IOPCSyncIO);
    EXPECT_NE(io, nullptr);
    if (io != nullptr) held.push_back(io);
    EXPECT_EQ(AdviseSink(itemMgt, IID_IOPCDataCallback, &sink, &point, &cookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point, nullptr);
}

TEST_F(BehaviourTest, ItemErrorsAtAddItemsAndInCompletionsIncludingSuccessCodes)
{
    Start("behaviour item-error AddItems Sim.I4 0xC0040008\nbehaviour item-error OnWriteComplete Sim.R8 "
          "0x0004000E\n");
    ASSERT_TRUE(CreateGroup(L"G", true));
    AddedItems items = AddItems(itemMgt, {"Sim.R8", "Sim.I4", kSimUnknownItem}, true);
    ASSERT_EQ(items.hr, S_FALSE);
    EXPECT_EQ(items.errors, (std::vector<HRESULT>{S_OK, OPC_E_INVALIDITEMID, OPC_E_UNKNOWNITEMID}));
    ASSERT_EQ(AdviseSink(itemMgt, IID_IOPCDataCallback, &sink, &point, &cookie), S_OK);
    async = GroupAs<IOPCAsyncIO2>(IID_IOPCAsyncIO2);
    ASSERT_NE(async, nullptr);
    held.push_back(async);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_R8;
    V_R8(&value) = 1.0;
    DWORD cancelId = 0;
    HRESULT* errors = nullptr;
    ASSERT_EQ(async->Write(1, items.servers.data(), &value, 9, &cancelId, &errors), S_OK);
    CoTaskMemFree(errors);
    ASSERT_TRUE(WaitUntil([&] { return !sink.calls.empty(); }, 5000, "OnWriteComplete"));
    EXPECT_EQ(sink.calls[0].errors, (std::vector<HRESULT>{OPC_S_CLAMP}));
    EXPECT_EQ(sink.calls[0].masterError, S_FALSE);
}

TEST_F(BehaviourTest, ReentrantCompletionArrivesInsideTheClientsCall)
{
    Start("behaviour completions reentrant\n");
    OpenAsync();
    if (HasFatalFailure()) return;
    ASSERT_EQ(AsyncRead(5), S_OK);
    ASSERT_EQ(sink.calls.size(), 1u); // no pumping needed: it came before Read returned
    EXPECT_TRUE(sink.calls[0].duringCall);
    EXPECT_EQ(sink.calls[0].transId, 5u);
    ASSERT_TRUE(WaitForSimLog(sim, "call AsyncRead ", 1, 5000));
    std::vector<std::string> order;
    for (const std::string& line : ReadSimLog(sim)) {
        if (line.compare(0, 14, "call AsyncRead") == 0 || line.compare(0, 23, "callback OnReadComplete") == 0)
            order.push_back(line.substr(0, 14));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"callback OnRea", "call AsyncRead"}));
}

TEST_F(BehaviourTest, ThreadCompletionArrivesInsideTheCallOnTheClientsThread)
{
    Start("behaviour completions thread\n");
    OpenAsync();
    if (HasFatalFailure()) return;
    ASSERT_EQ(AsyncRead(6), S_OK);
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_TRUE(sink.calls[0].duringCall);
    EXPECT_EQ(sink.calls[0].threadId, GetCurrentThreadId());
}

TEST_F(BehaviourTest, EmptyCompletionComesFirstThenTheRealOne)
{
    Start("behaviour empty-completion OnReadComplete first\n");
    OpenAsync();
    if (HasFatalFailure()) return;
    ASSERT_EQ(AsyncRead(8), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return sink.calls.size() >= 2; }, 5000, "two OnReadComplete"));
    EXPECT_EQ(sink.calls[0].clients.size(), 0u);
    EXPECT_EQ(sink.calls[0].transId, 8u);
    EXPECT_EQ(sink.calls[1].clients, (std::vector<OPCHANDLE>{100, 101}));
}

TEST_F(BehaviourTest, ForeignHandlesCompletionNamesHandlesTheClientNeverGave)
{
    Start("behaviour foreign-handles OnReadComplete\n");
    OpenAsync();
    if (HasFatalFailure()) return;
    ASSERT_EQ(AsyncRead(9), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return sink.calls.size() >= 1; }, 5000, "OnReadComplete"));
    EXPECT_EQ(sink.calls[0].transId, 9u);
    EXPECT_EQ(sink.calls[0].clients, (std::vector<OPCHANDLE>{0x80000064, 0x80000065}));
}

TEST_F(BehaviourTest, HangingCompletionIsNeverSentAndTheNextOneIs)
{
    Start("behaviour hang OnReadComplete 1\n");
    OpenAsync();
    if (HasFatalFailure()) return;
    ASSERT_EQ(AsyncRead(11), S_OK);
    ASSERT_TRUE(WaitForSimLog(sim, "hang OnReadComplete", 1, 5000));
    ASSERT_EQ(AsyncRead(12), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !sink.calls.empty(); }, 5000, "the second OnReadComplete"));
    PumpMessages();
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].transId, 12u);
    EXPECT_EQ(Status(), static_cast<DWORD>(OPC_STATUS_RUNNING)) << "the server goes on serving";
}

TEST_F(BehaviourTest, ShutdownNoticeAfterTheSecondSyncRead)
{
    Start("behaviour shutdown after=2:SyncRead reason=\"Plant stop\"\n");
    IConnectionPoint* shutdownPoint = nullptr;
    DWORD shutdownCookie = 0;
    ASSERT_EQ(AdviseSink(server, IID_IOPCShutdown, &shutdown, &shutdownPoint, &shutdownCookie), S_OK);
    held.push_back(shutdownPoint);
    ASSERT_TRUE(CreateGroup(L"G", true));
    added = AddItems(itemMgt, {"Sim.R8"}, true);
    IOPCSyncIO* io = GroupAs<IOPCSyncIO>(IID_IOPCSyncIO);
    ASSERT_NE(io, nullptr);
    held.push_back(io);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(ReadOnce(io, added.servers[0]), S_OK);
        EXPECT_TRUE(shutdown.reasons.empty());
    }
    ASSERT_TRUE(WaitUntil([&] { return !shutdown.reasons.empty(); }, 5000, "ShutdownRequest"));
    EXPECT_EQ(shutdown.reasons, (std::vector<std::wstring>{L"Plant stop"}));
    shutdownPoint->Unadvise(shutdownCookie);
}

TEST_F(BehaviourTest, CrashInTheSecondReadFailsThatCallLikeADeadServer)
{
    Start("behaviour crash SyncRead 2\n");
    ASSERT_TRUE(CreateGroup(L"G", true));
    added = AddItems(itemMgt, {"Sim.R8"}, true);
    IOPCSyncIO* io = GroupAs<IOPCSyncIO>(IID_IOPCSyncIO);
    ASSERT_NE(io, nullptr);
    held.push_back(io);
    ASSERT_EQ(ReadOnce(io, added.servers[0]), S_OK);
    EXPECT_EQ(ReadOnce(io, added.servers[0]), RPC_S_CALL_FAILED_HR);
    EXPECT_EQ(SimLogLines(sim, "crash ").back(), "crash SyncRead");
}

TEST_F(BehaviourTest, HangingCallNeverReturnsUntilTheServerIsKilled)
{
    Start("behaviour hang GetStatus\n");
    // The hanging call runs on a thread of its own: this thread stays free to watch and end it.
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IOPCServer, server, &stream), S_OK);
    HRESULT result = S_OK;
    bool returned = false;
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IOPCServer* remote = nullptr;
        CoGetInterfaceAndReleaseStream(stream, IID_IOPCServer, reinterpret_cast<void**>(&remote));
        OPCSERVERSTATUS* status = nullptr;
        result = remote->GetStatus(&status);
        returned = true;
        remote->Release();
        CoUninitialize();
    });
    EXPECT_TRUE(WaitForSimLog(sim, "hang GetStatus", 1, 10000));
    EXPECT_FALSE(returned);
    EXPECT_TRUE(KillSimServer(sim));
    caller.join();
    EXPECT_EQ(result, RPC_S_CALL_FAILED_HR);
    server->Release(); // the proxy of a dead server
    server = nullptr;
}
