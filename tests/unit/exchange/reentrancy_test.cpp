// Completions that arrive inside the server call that issued the batch, and host calls made from there
// or from the notification, for each direction.

#include <algorithm>

#include <gtest/gtest.h>

#include "connection/sink_objects.h"
#include "convert/value_payload.h"
#include "idl/opc_constants.h"
#include "tests/unit/exchange/batch_test_base.h"

namespace {

class ReentrancyTest : public BatchTest {};

INSTANTIATE_TEST_SUITE_P(BothDirections, ReentrancyTest, ::testing::Values(kReading, kWriting),
                         DirectionName);

TEST_P(ReentrancyTest, CompletionInsideTheCallEndsTheBatchOnlyAfterTheIssueJudgedIt)
{
    io.result = S_FALSE;
    io.itemErrors = {S_OK, OPC_E_INVALIDHANDLE, S_OK};
    bool activeInside = false;
    std::uint32_t statusOfRejectedInside = 0;
    io.duringCall = [&](const AsyncCall& call) {
        dir().complete(*drv, call.transactionId, S_OK, {kChA, kChC}, {S_OK, S_OK});
        activeInside = HasFlag(*drv, dir().activeFlag);
        statusOfRejectedInside = StatusOf(kChB);
    };
    Request({kChA, kChB, kChC});
    dir().fire(*drv);
    EXPECT_TRUE(activeInside);
    EXPECT_EQ(statusOfRejectedInside, kSentinel)
        << "the rejected item was still waiting for the issue's verdict";
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusFailed);
    EXPECT_EQ(StatusOf(kChC), StatusOk);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_TRUE(notes.empty());
    Pump();
    EXPECT_EQ(notes.size(), 1u);
}

TEST_P(ReentrancyTest, CompletionInsideACallThatFailedAsAWholeIsNotNotified)
{
    io.result = E_FAIL;
    io.duringCall = [&](const AsyncCall& call) {
        dir().complete(*drv, call.transactionId, S_OK, {kChA}, {S_OK});
    };
    Request({kChA});
    dir().fire(*drv);
    Pump();
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_TRUE(notes.empty());
}

TEST_P(ReentrancyTest, HostCallsMadeInsideTheCallQueueForTheNextBatch)
{
    // As if the call's wait dispatched the host's own activity: new requests, the batch fired again,
    // then the server's completion.
    io.duringCall = [&](const AsyncCall& call) {
        if (call.transactionId != 1) return;
        Request({kChC, kChA});
        dir().fire(*drv);
        dir().complete(*drv, call.transactionId, S_OK, {kChA, kChB}, {S_OK, S_OK});
    };
    Request({kChA, kChB});
    dir().fire(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    EXPECT_EQ(io.calls[0].handles, Handles({kChA, kChB}));
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    EXPECT_EQ(StatusOf(kChA), kSentinel) << "A is queued again";
    EXPECT_EQ(StatusOf(kChC), kSentinel);
    Pump();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].serverCallsBefore, 1u);
    ASSERT_EQ(io.calls.size(), 2u);
    EXPECT_EQ(io.calls[1].handles, Handles({kChC, kChA}));
}

TEST_P(ReentrancyTest, ServerCompletingThroughTheDataCallbackInsideTheCallEndsTheBatchOnce)
{
    // The server's own path: its completion reaches the driver's IOPCDataCallback before Read or Write
    // returns, naming the items by the client handles (the channel numbers).
    IOPCDataCallback* sink = nullptr;
    ASSERT_EQ(
        SinkUnknown(drv->dataSink)->QueryInterface(IID_IOPCDataCallback, reinterpret_cast<void**>(&sink)),
        S_OK);
    io.callback = sink;
    io.clientHandleOf = [](OPCHANDLE handle) { return handle - kHandleOffset; };
    io.completeInsideCall = true;
    Request({kChA, kChB});
    dir().fire(*drv);
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    std::vector<std::wstring> lines = Traces();
    EXPECT_NE(std::find(lines.begin(), lines.end(), TraceOf(dir().completionText)), lines.end());
    if (dir().kind == kReading.kind) {
        EXPECT_EQ(ReadPayload<std::int32_t>(ChannelOf(kChB).value), static_cast<std::int32_t>(kChB))
            << "the server's value";
    }
    Pump();
    EXPECT_EQ(notes.size(), 1u);
    sink->Release();
}

TEST_P(ReentrancyTest, HostFiringTheNextBatchFromItsNotificationNeverNests)
{
    constexpr std::size_t kBatches = 2000;
    io.duringCall = [&](const AsyncCall& call) {
        dir().complete(*drv, call.transactionId, S_OK, {kChA}, {S_OK});
    };
    onNotify = [&](std::uint32_t) {
        if (notes.size() == kBatches) return;
        Request({kChA});
        dir().fire(*drv);
    };
    Request({kChA});
    dir().fire(*drv);
    for (std::size_t i = 0; i < kBatches && notes.size() < kBatches; ++i)
        Pump();
    EXPECT_EQ(notes.size(), kBatches);
    EXPECT_EQ(io.calls.size(), kBatches);
    EXPECT_EQ(io.maxDepth, 1) << "no call runs inside another";
    EXPECT_EQ(StatusOf(kChA), StatusOk);
}

} // namespace
