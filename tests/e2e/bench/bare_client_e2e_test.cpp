// The bare client is the benchmarks' baseline: it must make the driver's calls with the driver's group
// and item settings (compare the server log lines of tests/e2e/connection), and report any failure.

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "bench/common/bare_client.h"
#include "tests/support/sim_control.h"

namespace {

constexpr std::uint32_t kLogWaitMs = 20000;

constexpr char kItems[] = "item Bench.A R8 rw 1\n"
                          "item Bench.B R8 rw 2\n"
                          "item Bench.C R8 rw 3\n";

class BareClientE2E : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override
    {
        ReleaseBareClient(bare);
        UnregisterSimScenario(sim);
        CoUninitialize();
    }

    ::testing::AssertionResult Connect(const std::string& behaviours = "")
    {
        ::testing::AssertionResult registered = RegisterSimScenario(kItems + behaviours, sim);
        if (!registered) return registered;
        ParItems items;
        items.clsid = sim.clsid;
        items.channels = {1, 2, 5};
        items.itemIds = {L"Bench.A", L"Bench.B", L"Bench.C"};
        std::string step;
        HRESULT hr = ConnectBareClient(bare, items, step);
        if (hr != S_OK) return ::testing::AssertionFailure() << step << " failed: " << std::hex << hr;
        return ::testing::AssertionSuccess();
    }
    std::vector<std::string> Logged(const std::string& prefix) const { return SimLogLines(sim, prefix); }

    SimServer sim{};
    BareClient bare{};
};

TEST_F(BareClientE2E, MakesTheDriversInactiveGroupAtTheDefaultRate)
{
    ASSERT_TRUE(Connect());
    EXPECT_EQ(
        Logged("call AddGroup"),
        (std::vector<std::string>{"call AddGroup name=BareGroup active=0 rate=86400000 revised=86400000 "
                                  "client=1 bias=0 deadband=none lcid=0x0800 hr=0x00000000"}));
}

TEST_F(BareClientE2E, AddsTheItemsAsTheDriverDoesWithTheChannelNumbersAsClientHandles)
{
    ASSERT_TRUE(Connect());
    EXPECT_EQ(
        Logged("additem"),
        (std::vector<std::string>{"additem Bench.A path=\"\" active=1 client=1 requested=0 hr=0x00000000",
                                  "additem Bench.B path=\"\" active=1 client=2 requested=0 hr=0x00000000",
                                  "additem Bench.C path=\"\" active=1 client=5 requested=0 hr=0x00000000"}));
    EXPECT_EQ(bare.handles.size(), 3u);
}

TEST_F(BareClientE2E, ReadsSynchronouslyFromTheDevice)
{
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(BareSyncRead(bare));
    EXPECT_EQ(
        Logged("call SyncRead"),
        (std::vector<std::string>{"call SyncRead group=BareGroup source=device count=3 hr=0x00000000"}));
}

TEST_F(BareClientE2E, ReadsAsynchronouslyAndWaitsForTheCompletionOfItsOwnTransaction)
{
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(BareAsyncRead(bare));
    EXPECT_TRUE(BareAsyncRead(bare));
    ASSERT_TRUE(WaitForSimLog(sim, "callback OnReadComplete", 2, kLogWaitMs));
    std::vector<std::string> callbacks = Logged("callback OnReadComplete");
    EXPECT_EQ(callbacks[0], "callback OnReadComplete group=BareGroup transid=1 count=3 hr=0x00000000");
    EXPECT_EQ(callbacks[1], "callback OnReadComplete group=BareGroup transid=2 count=3 hr=0x00000000");
}

struct WriteCase {
    const char* name;
    bool (*write)(BareClient&, double);
};

class BareClientWrites : public BareClientE2E, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(BareClientWrites, WriteBasePlusTheIndexToEachItem)
{
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(GetParam().write(bare, 10));
    EXPECT_TRUE(GetParam().write(bare, 20.5));
    EXPECT_EQ(Logged("write"), (std::vector<std::string>{
                                   "write Bench.A vt=5 value=10 hr=0x00000000",
                                   "write Bench.B vt=5 value=11 hr=0x00000000",
                                   "write Bench.C vt=5 value=12 hr=0x00000000",
                                   "write Bench.A vt=5 value=20.5 hr=0x00000000",
                                   "write Bench.B vt=5 value=21.5 hr=0x00000000",
                                   "write Bench.C vt=5 value=22.5 hr=0x00000000",
                               }));
}

INSTANTIATE_TEST_SUITE_P(BothModes, BareClientWrites,
                         ::testing::Values(WriteCase{"Sync", BareSyncWrite},
                                           WriteCase{"Async", BareAsyncWrite}),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                             return std::string(info.param.name);
                         });

struct FailureCase {
    const char* name;
    const char* behaviour;
    bool (*batch)(BareClient&);
};

bool SyncWriteOnce(BareClient& client)
{
    return BareSyncWrite(client, 1);
}
bool AsyncWriteOnce(BareClient& client)
{
    return BareAsyncWrite(client, 1);
}

class BareClientFailures : public BareClientE2E, public ::testing::WithParamInterface<FailureCase> {};

// A batch the server did not fully carry out must not be timed as a good one.
TEST_P(BareClientFailures, AreReportedEvenWithASuccessCode)
{
    ASSERT_TRUE(Connect(GetParam().behaviour));
    EXPECT_FALSE(GetParam().batch(bare));
}

INSTANTIATE_TEST_SUITE_P(
    Batches, BareClientFailures,
    ::testing::Values(
        FailureCase{"SyncReadItem", "behaviour item-error SyncRead Bench.B 0x80004005\n", BareSyncRead},
        FailureCase{"SyncReadCall", "behaviour result SyncRead 0x80004005\n", BareSyncRead},
        FailureCase{"AsyncReadAtTheCall", "behaviour item-error AsyncRead Bench.C 0x80004005\n",
                    BareAsyncRead},
        FailureCase{"AsyncReadCompletion", "behaviour item-error OnReadComplete Bench.A 0x1\n",
                    BareAsyncRead},
        FailureCase{"SyncWriteItem", "behaviour item-error SyncWrite Bench.A 0x80004005\n", SyncWriteOnce},
        FailureCase{"AsyncWriteCompletion", "behaviour item-error OnWriteComplete Bench.B 0x0004000E\n",
                    AsyncWriteOnce}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(BareClientE2E, ReleaseIsSafeToRepeatAndLeavesNothingHeld)
{
    ASSERT_TRUE(Connect());
    ReleaseBareClient(bare);
    ReleaseBareClient(bare);
    EXPECT_EQ(bare.server, nullptr);
    EXPECT_EQ(bare.group, nullptr);
    EXPECT_EQ(bare.syncIo, nullptr);
    EXPECT_EQ(bare.asyncIo, nullptr);
    EXPECT_EQ(bare.dataPoint, nullptr);
    EXPECT_EQ(bare.sink, nullptr);
    EXPECT_EQ(bare.cookie, 0u);
    EXPECT_TRUE(bare.handles.empty());
    EXPECT_TRUE(WaitForSimLog(sim, "call DataUnadvise", 1, kLogWaitMs));
}

} // namespace
