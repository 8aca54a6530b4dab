// Periodic OnDataChange: what an active group with an advised callback receives at its update rate, and
// the behaviours that stop the updates or spoil their quality.
#include "idl/opc_constants.h"
#include "tests/e2e/opcsim/sim_session.h"
#include "tests/e2e/opcsim/test_sinks.h"
#include "tests/support/sim_items.h"
#include "tests/support/wait.h"

namespace {

constexpr DWORD kRateMs = 50;
constexpr std::uint32_t kWaitMs = 5000;

// One group of the test's server object with a data callback of its own.
struct Subscriber {
    IOPCItemMgt* items = nullptr;
    OPCHANDLE handle = 0;
    AddedItems added{};
    DataSink sink{}; // COM holds it: the subscriber stays where it is until the apartment ends
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
};

template <class I> I* Query(IUnknown* object, REFIID iid)
{
    I* out = nullptr;
    return SUCCEEDED(object->QueryInterface(iid, reinterpret_cast<void**>(&out))) ? out : nullptr;
}

// IOPCSyncIO::Write of one R8 value; the call's result, or the item's error when the call failed it.
HRESULT WriteR8(IOPCItemMgt* group, OPCHANDLE item, double value)
{
    IOPCSyncIO* io = Query<IOPCSyncIO>(group, IID_IOPCSyncIO);
    if (io == nullptr) return E_NOINTERFACE;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = value;
    HRESULT* errors = nullptr;
    HRESULT hr = io->Write(1, &item, &v, &errors);
    if (errors != nullptr && errors[0] != S_OK) hr = errors[0];
    CoTaskMemFree(errors);
    io->Release();
    return hr;
}

} // namespace

class SubscriptionTest : public SimSession {
protected:
    void TearDown() override
    {
        for (Subscriber* s : {&first, &second}) {
            if (s->point != nullptr) {
                s->point->Unadvise(s->cookie);
                s->point->Release();
            }
            if (s->items != nullptr) s->items->Release();
        }
        SimSession::TearDown();
        UnregisterSimScenario(own);
    }

    // A group at kRateMs with `active` then `inactive` items (client handles 100, 101, ... in that order),
    // the inactive ones switched off before the callback is advised.
    ::testing::AssertionResult Subscribe(Subscriber& s, const wchar_t* name, bool groupActive,
                                         const std::vector<std::string>& active,
                                         const std::vector<std::string>& inactive = {})
    {
        HRESULT hr = AddTestGroup(server, name, groupActive, kRateMs, &s.items, &s.handle);
        if (hr != S_OK) return ::testing::AssertionFailure() << "AddGroup: 0x" << std::hex << hr;
        std::vector<std::string> all(active);
        all.insert(all.end(), inactive.begin(), inactive.end());
        s.added = AddItems(s.items, all, true);
        if (s.added.hr != S_OK)
            return ::testing::AssertionFailure() << "AddItems: 0x" << std::hex << s.added.hr;
        if (!inactive.empty()) {
            HRESULT* errors = nullptr;
            hr = s.items->SetActiveState(static_cast<DWORD>(inactive.size()), &s.added.servers[active.size()],
                                         FALSE, &errors);
            CoTaskMemFree(errors);
            if (hr != S_OK) return ::testing::AssertionFailure() << "SetActiveState: 0x" << std::hex << hr;
        }
        hr = AdviseSink(s.items, IID_IOPCDataCallback, &s.sink, &s.point, &s.cookie);
        if (hr != S_OK) return ::testing::AssertionFailure() << "Advise: 0x" << std::hex << hr;
        return ::testing::AssertionSuccess();
    }

    static ::testing::AssertionResult WaitForUpdates(const Subscriber& s, size_t count)
    {
        return WaitUntil([&] { return s.sink.calls.size() >= count; }, kWaitMs, "periodic updates");
    }

    SimServer own{}; // the scenario of a behaviour test
    Subscriber first{};
    Subscriber second{};
};

TEST_F(SubscriptionTest, FirstUpdateHoldsEveryActiveItemLaterOnesOnlyTheChangedOnes)
{
    ASSERT_TRUE(Connect(StandardSim()));
    ASSERT_TRUE(Subscribe(first, L"SubChanges", true, {kSimItemRamp, kSimItemR8}, {kSimItemI4}));
    ASSERT_TRUE(WaitForUpdates(first, 4));
    const std::vector<Callback>& calls = first.sink.calls;
    const Callback& initial = calls[0];
    EXPECT_EQ(initial.method, "OnDataChange");
    EXPECT_EQ(initial.transId, 0u);
    EXPECT_EQ(initial.group, 7u);
    EXPECT_EQ(initial.masterQuality, S_OK);
    EXPECT_EQ(initial.masterError, S_OK);
    EXPECT_EQ(initial.clients, (std::vector<OPCHANDLE>{100, 101})) << "the inactive item is not sent";
    EXPECT_EQ(initial.qualities, (std::vector<WORD>{OPC_QUALITY_GOOD, OPC_QUALITY_GOOD}));
    ASSERT_EQ(initial.values.size(), 2u);
    EXPECT_EQ(Text(initial.values[1]), "2.25");
    for (size_t i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].transId, 0u);
        ASSERT_EQ(calls[i].clients, (std::vector<OPCHANDLE>{100})) << "only the ramp moves";
        EXPECT_NE(Text(calls[i].values[0]), Text(calls[i - 1].values[0]));
    }
}

TEST_F(SubscriptionTest, InactiveGroupGetsNothingUntilActivatedThenEveryActiveItem)
{
    ASSERT_TRUE(Connect(StandardSim()));
    ASSERT_TRUE(Subscribe(first, L"SubActive", true, {kSimItemRamp}));
    ASSERT_TRUE(Subscribe(second, L"SubInactive", false, {kSimItemRamp, kSimItemR8}));
    ASSERT_TRUE(WaitForUpdates(first, 3));
    EXPECT_TRUE(second.sink.calls.empty()) << "three updates of the active group went out meanwhile";

    IOPCGroupStateMgt* state = Query<IOPCGroupStateMgt>(second.items, IID_IOPCGroupStateMgt);
    ASSERT_NE(state, nullptr);
    held.push_back(state);
    BOOL activate = TRUE;
    DWORD revised = 0;
    ASSERT_EQ(state->SetState(nullptr, &revised, &activate, nullptr, nullptr, nullptr, nullptr), S_OK);
    ASSERT_TRUE(WaitForUpdates(second, 1));
    EXPECT_EQ(second.sink.calls[0].clients, (std::vector<OPCHANDLE>{100, 101}));
}

TEST_F(SubscriptionTest, WriteOfTheClientComesInTheNextUpdate)
{
    ASSERT_TRUE(Connect(StandardSim()));
    ASSERT_TRUE(Subscribe(first, L"SubWrite", true, {kSimItemR8}));
    ASSERT_TRUE(WaitForUpdates(first, 1));
    const std::vector<Callback>& calls = first.sink.calls;
    EXPECT_EQ(Text(calls[0].values[0]), "2.25");
    // Other tests of the standard server read 2.25: it is written back, and comes as well.
    const std::pair<double, const char*> writes[] = {{8.5, "8.5"}, {2.25, "2.25"}};
    for (const auto& [value, text] : writes) {
        SCOPED_TRACE(text);
        size_t before = calls.size();
        ASSERT_EQ(WriteR8(first.items, first.added.servers[0], value), S_OK);
        ASSERT_TRUE(WaitForUpdates(first, before + 1));
        ASSERT_EQ(calls[before].clients, (std::vector<OPCHANDLE>{100}));
        EXPECT_EQ(Text(calls[before].values[0]), text);
    }
}

TEST_F(SubscriptionTest, SinkThatIsGoneFailsOneUpdateAndGetsNoneUntilTheNextAdvise)
{
    ASSERT_TRUE(Connect(StandardSim()));
    ASSERT_TRUE(Subscribe(first, L"SubGone", true, {kSimItemRamp}));
    ASSERT_TRUE(WaitForUpdates(first, 1));
    // As a client that died: the server's next call on its proxy fails at once.
    const std::string failed = "callback OnDataChange group=SubGone transid=0 count=1 hr=0x8";
    size_t before = SimLogLines(StandardSim(), failed).size(); // the standard server's log is shared
    ASSERT_EQ(CoDisconnectObject(static_cast<IOPCDataCallback*>(&first.sink), 0), S_OK);
    ASSERT_TRUE(WaitForSimLog(StandardSim(), failed, before + 1, kWaitMs));
    EXPECT_FALSE(WaitUntil([&] { return SimLogLines(StandardSim(), failed).size() > before + 1; },
                           10 * kRateMs, "a second failed update"));

    ASSERT_EQ(first.point->Unadvise(first.cookie), S_OK);
    ASSERT_EQ(first.point->Advise(&second.sink, &first.cookie), S_OK);
    ASSERT_TRUE(WaitForUpdates(second, 1));
    EXPECT_EQ(second.sink.calls[0].clients, (std::vector<OPCHANDLE>{100}));
}

TEST_F(SubscriptionTest, ChangesStopEndsTheUpdatesWhileEveryCallStillAnswers)
{
    ASSERT_TRUE(RegisterSimScenario(
        "item Sim.Ramp R8 r 0 signal=ramp:0:100:10000\nbehaviour changes stop after=800ms\n", own));
    ASSERT_TRUE(Connect(own));
    ASSERT_TRUE(Subscribe(first, L"Stop", true, {kSimItemRamp}));
    ASSERT_TRUE(WaitForUpdates(first, 1)) << "updates flow before the stop";
    ASSERT_TRUE(WaitForSimLog(own, "changes-stop", 1, kWaitMs));
    PumpMessages();
    size_t atStop = first.sink.calls.size();
    // One update may have been under way when the stop came; then none follows.
    EXPECT_FALSE(
        WaitUntil([&] { return first.sink.calls.size() > atStop + 1; }, 10 * kRateMs, "more updates"));

    OPCSERVERSTATUS* status = nullptr;
    ASSERT_EQ(server->GetStatus(&status), S_OK);
    EXPECT_EQ(status->dwServerState, OPC_STATUS_RUNNING);
    CoTaskMemFree(status->szVendorInfo);
    CoTaskMemFree(status);
    IOPCAsyncIO2* io = Query<IOPCAsyncIO2>(first.items, IID_IOPCAsyncIO2);
    ASSERT_NE(io, nullptr);
    held.push_back(io);
    DWORD cancelId = 0;
    ASSERT_EQ(io->Refresh2(OPC_DS_CACHE, 5, &cancelId), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return first.sink.calls.back().transId == 5; }, kWaitMs, "the refresh"));
    EXPECT_EQ(first.sink.calls.back().clients, (std::vector<OPCHANDLE>{100}));
}

TEST_F(SubscriptionTest, ChangesQualityMarksEveryUpdateWhileReadsKeepTheItemsQuality)
{
    ASSERT_TRUE(RegisterSimScenario("item Sim.R8 R8 rw 2.25\nitem Sim.Ramp R8 r 0 signal=ramp:0:100:10000\n"
                                    "behaviour changes quality=0x40\n",
                                    own));
    ASSERT_TRUE(Connect(own));
    ASSERT_TRUE(Subscribe(first, L"Uncertain", true, {kSimItemR8, kSimItemRamp}));
    ASSERT_TRUE(WaitForUpdates(first, 2));
    const std::vector<Callback>& calls = first.sink.calls;
    EXPECT_EQ(calls[0].clients, (std::vector<OPCHANDLE>{100, 101}));
    EXPECT_EQ(calls[0].qualities, (std::vector<WORD>{OPC_QUALITY_UNCERTAIN, OPC_QUALITY_UNCERTAIN}));
    EXPECT_EQ(calls[0].masterQuality, S_FALSE);
    EXPECT_EQ(calls[0].masterError, S_OK);
    ASSERT_EQ(calls[1].clients, (std::vector<OPCHANDLE>{101}));
    EXPECT_EQ(calls[1].qualities, (std::vector<WORD>{OPC_QUALITY_UNCERTAIN}));
    EXPECT_NE(Text(calls[1].values[0]), Text(calls[0].values[1])) << "the values still change";

    IOPCSyncIO* io = Query<IOPCSyncIO>(first.items, IID_IOPCSyncIO);
    ASSERT_NE(io, nullptr);
    held.push_back(io);
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    ASSERT_EQ(io->Read(OPC_DS_CACHE, 1, &first.added.servers[0], &states, &errors), S_OK);
    EXPECT_EQ(states[0].wQuality, OPC_QUALITY_GOOD);
    VariantClear(&states[0].vDataValue);
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
}
