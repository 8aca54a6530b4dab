// IOPCAsyncIO2: completions through the advised IOPCDataCallback, after the call has returned.
#include "idl/opc_constants.h"
#include "tests/e2e/opcsim/sim_session.h"
#include "tests/e2e/opcsim/test_sinks.h"
#include "tests/support/sim_items.h"
#include "tests/support/wait.h"

class AsyncIoTest : public SimSession {
protected:
    void Open(const SimServer& sim, const wchar_t* group, bool advise)
    {
        ASSERT_TRUE(Connect(sim));
        ASSERT_TRUE(CreateGroup(group, true));
        added = AddItems(itemMgt, {kSimItemR8, kSimItemI4Matrix, kSimItemReadOnly}, true);
        ASSERT_EQ(added.hr, S_OK);
        io = GroupAs<IOPCAsyncIO2>(IID_IOPCAsyncIO2);
        ASSERT_NE(io, nullptr);
        held.push_back(io);
        if (advise) {
            ASSERT_EQ(AdviseSink(itemMgt, IID_IOPCDataCallback, &sink, &point, &cookie), S_OK);
        }
    }
    void TearDown() override
    {
        if (point != nullptr) {
            point->Unadvise(cookie);
            point->Release();
        }
        SimSession::TearDown();
    }
    // AsyncIO2::Read of the given handles with the sink's inCall flag set around the call.
    HRESULT Read(const std::vector<OPCHANDLE>& handles, DWORD transId, std::vector<HRESULT>& errors)
    {
        DWORD cancelId = 0;
        HRESULT* e = nullptr;
        sink.inCall = true;
        HRESULT hr = io->Read(static_cast<DWORD>(handles.size()), const_cast<OPCHANDLE*>(handles.data()),
                              transId, &cancelId, &e);
        sink.inCall = false;
        for (size_t i = 0; e != nullptr && i < handles.size(); ++i)
            errors.push_back(e[i]);
        CoTaskMemFree(e);
        return hr;
    }
    AddedItems added{};
    IOPCAsyncIO2* io = nullptr;
    DataSink sink{};
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
};

TEST_F(AsyncIoTest, ReadCompletesAfterTheCallWithClientHandlesAndValues)
{
    Open(StandardSim(), L"AsyncRead", true);
    if (HasFatalFailure()) return;
    std::vector<HRESULT> errors;
    ASSERT_EQ(Read({added.servers[0], added.servers[1]}, 41, errors), S_OK);
    EXPECT_EQ(errors, (std::vector<HRESULT>{S_OK, S_OK}));
    ASSERT_TRUE(WaitUntil([&] { return !sink.calls.empty(); }, 5000, "OnReadComplete"));
    const Callback& c = sink.calls[0];
    EXPECT_EQ(c.method, "OnReadComplete");
    EXPECT_FALSE(c.duringCall);
    EXPECT_EQ(c.transId, 41u);
    EXPECT_EQ(c.group, 7u); // the client's group handle
    EXPECT_EQ(c.masterQuality, S_OK);
    EXPECT_EQ(c.masterError, S_OK);
    EXPECT_EQ(c.clients, (std::vector<OPCHANDLE>{100, 101}));
    ASSERT_EQ(c.values.size(), 2u);
    EXPECT_EQ(Text(c.values[0]), "2.25");
    EXPECT_EQ(Text(c.values[1]), "{1 2 3 4 5 6}");
    EXPECT_EQ(c.qualities, (std::vector<WORD>{OPC_QUALITY_GOOD, OPC_QUALITY_GOOD}));
}

TEST_F(AsyncIoTest, ReadWithABadHandleQueuesOnlyTheGoodItems)
{
    Open(StandardSim(), L"AsyncBadHandle", true);
    if (HasFatalFailure()) return;
    std::vector<HRESULT> errors;
    ASSERT_EQ(Read({0xBAD, added.servers[0]}, 42, errors), S_FALSE);
    EXPECT_EQ(errors, (std::vector<HRESULT>{OPC_E_INVALIDHANDLE, S_OK}));
    ASSERT_TRUE(WaitUntil([&] { return !sink.calls.empty(); }, 5000, "OnReadComplete"));
    EXPECT_EQ(sink.calls[0].clients, (std::vector<OPCHANDLE>{100}));
}

TEST_F(AsyncIoTest, WriteCompletesWithPerItemResults)
{
    Open(StandardSim(), L"AsyncWrite", true);
    if (HasFatalFailure()) return;
    VARIANT values[2];
    VariantInit(&values[0]);
    VariantInit(&values[1]);
    V_VT(&values[0]) = VT_R8;
    V_R8(&values[0]) = 2.25; // the standard value: other tests read it
    V_VT(&values[1]) = VT_I4;
    V_I4(&values[1]) = 1;
    OPCHANDLE handles[2] = {added.servers[0], added.servers[2]};
    DWORD cancelId = 0;
    HRESULT* errors = nullptr;
    ASSERT_EQ(io->Write(2, handles, values, 43, &cancelId, &errors), S_OK);
    CoTaskMemFree(errors);
    ASSERT_TRUE(WaitUntil([&] { return !sink.calls.empty(); }, 5000, "OnWriteComplete"));
    const Callback& c = sink.calls[0];
    EXPECT_EQ(c.method, "OnWriteComplete");
    EXPECT_EQ(c.transId, 43u);
    EXPECT_EQ(c.masterError, S_FALSE);
    EXPECT_EQ(c.clients, (std::vector<OPCHANDLE>{100, 102}));
    EXPECT_EQ(c.errors, (std::vector<HRESULT>{S_OK, OPC_E_BADRIGHTS}));
    // The server logs a callback when the client's call has returned.
    ASSERT_TRUE(WaitForSimLog(StandardSim(), "callback OnWriteComplete group=AsyncWrite ", 1, 5000));
    std::vector<std::string> mine;
    for (const std::string& line : ReadSimLog(StandardSim())) {
        if (line.compare(0, 6, "write ") == 0 || line.compare(0, 15, "call AsyncWrite") == 0 ||
            line.compare(0, 25, "callback OnWriteComplete ") == 0)
            mine.push_back(line);
    }
    ASSERT_GE(mine.size(), 4u);
    std::vector<std::string> last(mine.end() - 4, mine.end());
    EXPECT_EQ(last[0], "write Sim.R8 vt=5 value=2.25 hr=0x00000000");
    EXPECT_EQ(last[1], "write Sim.ReadOnly vt=3 value=1 hr=0xC0040006");
    EXPECT_EQ(last[2], "call AsyncWrite group=AsyncWrite transid=43 count=2 hr=0x00000000");
    EXPECT_EQ(last[3], "callback OnWriteComplete group=AsyncWrite transid=43 count=2 hr=0x00000000");
}

TEST_F(AsyncIoTest, EveryCallWithoutAnAdvisedCallbackFailsWithNoConnection)
{
    Open(StandardSim(), L"AsyncNoSink", false);
    if (HasFatalFailure()) return;
    std::vector<HRESULT> errors;
    EXPECT_EQ(Read({added.servers[0]}, 1, errors), CONNECT_E_NOCONNECTION);
    DWORD cancelId = 0xDEADBEEF;
    EXPECT_EQ(io->Refresh2(OPC_DS_CACHE, 2, &cancelId), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cancelId, 0u);
    EXPECT_EQ(io->SetEnable(FALSE), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(io->Cancel2(1), CONNECT_E_NOCONNECTION);
}

TEST_F(AsyncIoTest, Refresh2SendsTheActiveItemsAsADataChangeWithTheTransactionId)
{
    Open(StandardSim(), L"Refresh", true);
    if (HasFatalFailure()) return;
    DWORD cancelId = 0;
    ASSERT_EQ(io->Refresh2(OPC_DS_CACHE, 44, &cancelId), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !sink.calls.empty(); }, 5000, "OnDataChange"));
    EXPECT_EQ(sink.calls[0].method, "OnDataChange");
    EXPECT_EQ(sink.calls[0].transId, 44u);
    EXPECT_EQ(sink.calls[0].clients, (std::vector<OPCHANDLE>{100, 101, 102}));
    EXPECT_EQ(sink.calls[0].errors, (std::vector<HRESULT>{S_OK, S_OK, S_OK}));
}
