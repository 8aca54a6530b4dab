// Subscribe on an instance whose connection is made of fakes: data changes stored as a read's completion
// would store them, a read batch answered without a call, the worker's inbox that only the current
// connection may fill, the status query after a silence, and losses without reconnect.

#include <cstdint>

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "connection/change_inbox.h"
#include "connection/keep_alive.h"
#include "connection/message_window.h"
#include "connection/supervision.h"
#include "exchange/read_cycle.h"
#include "exchange/subscription.h"
#include "idl/opc_constants.h"
#include "opcda.h"
#include "tests/support/fake_opc.h"
#include "tests/unit/connection/connection_test_support.h"
#include "tests/unit/connection/supervision_invariants.h"

namespace {

constexpr std::uint32_t kScalar = 1;
constexpr std::uint32_t kRange = 10; // 10-12
constexpr std::uint32_t kGood = 750;

// 2024-05-17T13:45:30.250Z
FILETIME SomeTime()
{
    SYSTEMTIME utc{2024, 5, 5, 17, 13, 45, 30, 250};
    FILETIME time{};
    SystemTimeToFileTime(&utc, &time);
    return time;
}

class Subscription : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        AddTestChannel(kScalar);
        AddTestChannel(kRange, 3);
        ASSERT_TRUE(CreateDriverWindow(*drv));
        SetFlag(*drv, Subscribe);
        drv->updateRateMs = 100;
        drv->ready = true;
        HoldFakeAsyncConnection(*drv, server);
        for (std::uint32_t number : {kScalar, kRange})
            ChannelAt(number).accessRights = OPC_READABLE | OPC_WRITEABLE;
    }
    void TearDown() override
    {
        VariantClear(&value);
        DriverRecordTest::TearDown();
    }

    // One change of one item: value (an I4 unless set otherwise), a good quality, SomeTime().
    void Change(DWORD client, HRESULT error = S_OK, WORD quality = OPC_QUALITY_GOOD)
    {
        FILETIME time = SomeTime();
        ApplyDataChange(*drv, error == S_OK ? S_OK : S_FALSE, 1, &client, &value, &quality, &time, &error);
    }
    Channel& ChannelAt(std::uint32_t number) { return *LookUpChannel(drv->channelIndex, number); }
    std::uint32_t Status(std::uint32_t number)
    {
        std::uint32_t status = 0xFFFFFFFF;
        EXPECT_TRUE(InputFinalized(*drv, number, &status));
        return status;
    }

    FakeServer server;
    VARIANT value{};
};

TEST_F(Subscription, AChangeIsStoredAsAReadsCompletionStoresIt)
{
    EXPECT_EQ(Status(kScalar), StatusFailed) << "never read before its first change";
    value.vt = VT_I4;
    value.lVal = 42;
    Change(kScalar);
    EXPECT_EQ(Status(kScalar), StatusOk);
    Channel& channel = ChannelAt(kScalar);
    EXPECT_EQ(channel.value.type, TypeI32);
    EXPECT_EQ(channel.quality, kGood);
    EXPECT_EQ(channel.timestamp.msOfDay, 49530250u);
    EXPECT_EQ(channel.timestamp.day, 17);
}

TEST_F(Subscription, AFailedItemOrAValueThatCannotBeStoredFailsTheChannelAndKeepsWhatItHad)
{
    value.vt = VT_I4;
    value.lVal = 7;
    Change(kScalar);
    Change(kScalar, E_FAIL);
    EXPECT_EQ(Status(kScalar), StatusFailed);
    Change(kScalar);
    // A scalar for a range channel cannot be stored.
    Change(kRange);
    EXPECT_EQ(Status(kRange), StatusFailed);
    Change(kScalar, static_cast<HRESULT>(0x0004000E)); // a success code other than S_OK
    EXPECT_EQ(Status(kScalar), StatusFailed);
    EXPECT_EQ(ChannelAt(kScalar).quality, kGood) << "the last good change's quality stays";
}

TEST_F(Subscription, NothingIsStoredWhileTheServerIsDownOrTheInstanceNotConnected)
{
    value.vt = VT_I4;
    value.lVal = 1;
    SetFlag(*drv, ServerDown);
    Change(kScalar);
    ClearFlag(*drv, ServerDown);
    drv->supervision.state = LinkState::Lost;
    Change(kScalar);
    drv->supervision.state = LinkState::Connected;
    EXPECT_EQ(ChannelAt(kScalar).readStatus, StatusFailed);
}

TEST_F(Subscription, AReadBatchIsAnsweredAtOnceWithoutACall)
{
    value.vt = VT_I4;
    value.lVal = 5;
    Change(kScalar);
    InputRequest(*drv, kScalar);
    InputRequest(*drv, kRange + 1);
    std::uint32_t status = 0;
    EXPECT_FALSE(InputFinalized(*drv, kScalar, &status)) << "queued";
    InputRequestCompleted(*drv);
    EXPECT_TRUE(server.group.asyncIo.calls.empty());
    EXPECT_EQ(Status(kScalar), StatusOk);
    EXPECT_EQ(Status(kRange + 1), StatusFailed) << "never read";
    EXPECT_TRUE(TakePosted(drv->window, MsgNotifyRead));
    EXPECT_EQ(drv->readCount, 0u);
    EXPECT_FALSE(HasFlag(*drv, ReadActive));
    InputRequestCompleted(*drv);
    EXPECT_FALSE(TakePosted(drv->window, MsgNotifyRead)) << "an empty queue notifies nothing";
}

bool AlwaysAccept(const OpcDriver&)
{
    return true;
}
bool NeverAccept(const OpcDriver&)
{
    return false;
}

// The worker's copies outlive the server's arrays: a text is copied, not borrowed.
TEST_F(Subscription, TheInboxHandsTheWorkersChangesOverInOrderAndOnlyWhatItAccepted)
{
    FILETIME time = SomeTime();
    auto queue = [&](VARIANTARG item, bool (*accept)(const OpcDriver&)) {
        ChangeBlock* block = NewChangeBlock(2, S_OK);
        if (block == nullptr) return false;
        SetChange(*block, 0, kScalar, item, OPC_QUALITY_GOOD, time, S_OK);
        VARIANT number{};
        number.vt = VT_I4;
        number.lVal = 11;
        SetChange(*block, 1, kRange, number, OPC_QUALITY_GOOD, time, S_OK);
        VariantClear(&item);
        return QueueChanges(*drv, block, accept);
    };
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"refused");
    EXPECT_FALSE(queue(text, NeverAccept));
    EXPECT_FALSE(TakePosted(drv->window, MsgDataChange));
    VARIANT first{};
    first.vt = VT_I4;
    first.lVal = 8;
    EXPECT_TRUE(queue(first, AlwaysAccept));
    text.bstrVal = SysAllocString(L"last");
    EXPECT_TRUE(queue(text, AlwaysAccept));
    EXPECT_TRUE(TakePosted(drv->window, MsgDataChange));
    EXPECT_FALSE(TakePosted(drv->window, MsgDataChange)) << "posted once while the inbox was not empty";
    ApplyQueuedChanges(*drv);
    EXPECT_EQ(TakeChanges(*drv), nullptr);
    EXPECT_EQ(ChannelAt(kScalar).value.type, TypeString) << "the later change came last";
    EXPECT_EQ(Status(kScalar), StatusOk);
    EXPECT_EQ(Status(kRange), StatusFailed) << "a scalar cannot be stored in a range";
}

TEST_F(Subscription, TheStatusQueryWaitsForASilenceAndAStateOtherThanRunningIsALoss)
{
    drv->reconnectMs = 0;
    EXPECT_EQ(KeepAliveIntervalMs(*drv), 1000u);
    StartKeepAlive(*drv);
    OnKeepAliveTimer(*drv);
    EXPECT_EQ(server.getStatusCalls.load(), 0) << "not before the silence";
    drv->keepAlive.lastCall -= 1000;
    OnKeepAliveTimer(*drv);
    EXPECT_EQ(server.getStatusCalls.load(), 1);
    EXPECT_TRUE(ServerConnected(*drv));
    server.statusAnswers = {StatusAnswer{S_OK, OPC_STATUS_FAILED, true}};
    drv->keepAlive.lastCall -= 1000;
    OnKeepAliveTimer(*drv);
    EXPECT_EQ(server.getStatusCalls.load(), 2);
    EXPECT_TRUE(ConnectionDropped(*drv));
    EXPECT_TRUE(IsServerDown(*drv)) << "every channel reports the server down";
    EXPECT_FALSE(KeepAliveTimerAwaited(*drv));
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
}

TEST_F(Subscription, AFailureThatDoesNotMeanTheServerIsGoneIsNoLoss)
{
    drv->reconnectMs = 0;
    server.statusAnswers = {StatusAnswer{E_FAIL, OPC_STATUS_RUNNING, false}};
    StartKeepAlive(*drv);
    drv->keepAlive.lastCall -= KeepAliveIntervalMs(*drv);
    OnKeepAliveTimer(*drv);
    EXPECT_EQ(server.getStatusCalls.load(), 1);
    EXPECT_TRUE(ServerConnected(*drv));
    EXPECT_FALSE(drv->keepAlive.checking);
}

TEST_F(Subscription, WithoutReconnectEveryLossDropsTheConnectionOnceInitSucceeded)
{
    drv->reconnectMs = 0;
    for (SupervisionEvent event : {SupervisionEvent::ServerGone, SupervisionEvent::BatchLimit}) {
        drv->supervision.state = LinkState::Connected;
        EXPECT_EQ(Decide(*drv, event).action, SupervisionAction::Drop);
        drv->ready = false;
        EXPECT_EQ(Decide(*drv, event).action, SupervisionAction::Ignore);
        drv->ready = true;
    }
    // Asynchronous mode after the limit: nothing more is called on a server that does not answer.
    ASSERT_TRUE(Supervise(*drv, SupervisionEvent::BatchLimit));
    EXPECT_TRUE(ConnectionDropped(*drv));
    EXPECT_TRUE(IsServerDown(*drv));
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
    EXPECT_EQ(drv->server, nullptr);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
}

TEST_F(Subscription, TheIntervalIsReconnectOrTenUpdatesAndNeverWraps)
{
    drv->reconnectMs = 2500;
    EXPECT_EQ(KeepAliveIntervalMs(*drv), 2500u);
    drv->reconnectMs = 0;
    drv->updateRateMs = 4294967294u;
    EXPECT_EQ(KeepAliveIntervalMs(*drv), 4294967294u);
}

} // namespace
