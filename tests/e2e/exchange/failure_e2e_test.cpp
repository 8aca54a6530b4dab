// What the host sees when a batch cannot go as asked, end to end in both modes: the wrong direction, an
// unknown channel, an empty queue, a batch fired while one is outstanding, items or calls the server
// refuses, values the driver cannot take, and the server going down.

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"
#include "tests/support/wait.h"

namespace {

class FailureE2E : public ExchangeE2E {
protected:
    std::string Behaviour(const std::string& what, const char* asyncCall, const char* syncCall,
                          const std::string& rest) const
    {
        return "behaviour " + what + " " + (mode() == Mode::Async ? asyncCall : syncCall) + " " + rest + "\n";
    }
};

INSTANTIATE_TEST_SUITE_P(BothModes, FailureE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(FailureE2E, WrongDirectionQueuesNothingAndIsTracedWithTheItemId)
{
    ASSERT_TRUE(Start());
    host.RequestRead({kWriteOnly});
    host.FireRead();
    host.RequestWrite(kReadOnly, Value(TypeI32, 5));
    host.FireWrite();
    TraceLines();
    EXPECT_EQ(host.ReadStatus(kWriteOnly), StatusWrongDirection);
    EXPECT_EQ(host.WriteStatus(kReadOnly), StatusWrongDirection);
    EXPECT_EQ(TraceLines(),
              (std::vector<std::string>{
                  "InputFinalized: read attempt on write-only item (ItemId = Sim.WriteOnly)",
                  "OutputFinalized: write attempt to read-only channel (ItemId = Sim.ReadOnly)"}));
    EXPECT_EQ(ServerCalls(ReadCall(mode())), 0u);
    EXPECT_EQ(ServerCalls(WriteCall(mode())), 0u);
}

TEST_P(FailureE2E, UnknownChannelAndEmptyQueueCallNothingAndNotifyNothing)
{
    ASSERT_TRUE(Start());
    host.RequestRead({kNoChannel});
    host.FireRead();
    host.RequestWrite(kNoChannel, Value(TypeI32, 5));
    host.FireWrite();
    EXPECT_EQ(host.ReadStatus(kNoChannel), StatusNoChannel);
    EXPECT_EQ(host.WriteStatus(kNoChannel), StatusNoChannel);
    ASSERT_TRUE(host.ReadBatch({kI4})); // posted after anything the empty batches could have posted
    EXPECT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(ServerCalls(ReadCall(mode())), 1u);
    EXPECT_EQ(ServerCalls(WriteCall(mode())), 0u);
}

TEST_P(FailureE2E, BatchFiredWhileOneIsOutstandingGoesOutAfterTheCompletion)
{
    // The first batch's answer waits, so that it is still outstanding when the second is fired, however
    // fast the server answers.
    ASSERT_TRUE(Start(Behaviour("delay", "OnReadComplete", "SyncRead", "300")));
    host.RequestRead({kI4});
    host.FireRead();
    host.RequestRead({kR8});
    host.FireRead();
    EXPECT_EQ(host.ReadStatus(kR8), kPending);
    EXPECT_EQ(ServerCalls(ReadCall(mode())), mode() == Mode::Async ? 1u : 0u);
    ASSERT_TRUE(host.WaitNotified(2));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    EXPECT_EQ(host.ReadStatus(kR8), StatusOk);
    EXPECT_EQ(ServerCalls(ReadCall(mode())), 2u);
}

TEST_P(FailureE2E, ItemsTheServerRejectsFailAndTheOthersComplete)
{
    ASSERT_TRUE(Start(Behaviour("item-error", "AsyncRead", "SyncRead", "Sim.I2 0xC0040007") +
                      Behaviour("item-error", "AsyncWrite", "SyncWrite", "Sim.R8 0xC0040006")));
    TraceLines();
    ASSERT_TRUE(host.ReadBatch({kI2, kI4}));
    EXPECT_EQ(host.ReadStatus(kI2), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    EXPECT_TRUE(Traced(mode() == Mode::Async
                           ? "InputRequestCompleted: hr = S_FALSE (ItemId = Sim.I2)"
                           : "ItemReadComplete: (MasterError < 0) or (Error <> S_OK) (ItemId = Sim.I2)"));
    host.RequestWrite(kR8, Value(TypeF64, 1.0));
    host.RequestWrite(kI4, Value(TypeI32, 1));
    host.FireWrite();
    ASSERT_TRUE(host.WaitNotified(2));
    EXPECT_EQ(host.WriteStatus(kR8), StatusFailed);
    EXPECT_EQ(host.WriteStatus(kI4), StatusOk);
}

TEST_P(FailureE2E, CallThatFailsAsAWholeFailsEveryChannel)
{
    ASSERT_TRUE(Start(Behaviour("result", "AsyncRead", "SyncRead", "0x80004005") +
                      Behaviour("result", "AsyncWrite", "SyncWrite", "0x80004005")));
    TraceLines();
    host.RequestRead({kI4, kR8});
    host.FireRead();
    host.RequestWrite(kI4, Value(TypeI32, 1));
    host.FireWrite();
    if (mode() == Mode::Async) {
        // Final on return, and no notification follows: the host polls right after firing.
        EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
        EXPECT_EQ(host.ReadStatus(kR8), StatusFailed);
        EXPECT_EQ(host.WriteStatus(kI4), StatusFailed);
        EXPECT_EQ(TraceLines(),
                  (std::vector<std::string>{
                      "IOPCAsyncIO2->Read(...)", "InputRequestCompleted: hr <> S_OK (ItemId = Sim.I4)",
                      "InputRequestCompleted: hr <> S_OK (ItemId = Sim.R8)", "IOPCAsyncIO2->Write(...)",
                      "OutputRequestCompleted: hr <> S_OK (ItemId = Sim.I4)"}));
        PumpMessages();
        EXPECT_TRUE(host.notes.empty());
    } else {
        // The worker's failed call still completes, every item failed, and is notified.
        ASSERT_TRUE(host.WaitNotified(2));
        EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
        EXPECT_EQ(host.ReadStatus(kR8), StatusFailed);
        EXPECT_EQ(host.WriteStatus(kI4), StatusFailed);
        EXPECT_TRUE(Traced("ItemWriteComplete: (MasterError < 0) or (Error <> S_OK) (ItemId = Sim.I4)"));
    }
}

TEST_P(FailureE2E, ItemErrorThatIsASuccessCodeOtherThanSOkFailsTheChannel)
{
    ASSERT_TRUE(Start(Behaviour("item-error", "OnReadComplete", "SyncRead", "Sim.I4 0x0004000E") +
                      Behaviour("item-error", "OnWriteComplete", "SyncWrite", "Sim.I4 0x0004000E")));
    ASSERT_TRUE(host.ReadBatch({kI4, kR8}));
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kR8), StatusOk);
    host.RequestWrite(kI4, Value(TypeI32, 1));
    host.FireWrite();
    ASSERT_TRUE(host.WaitNotified(2));
    EXPECT_EQ(host.WriteStatus(kI4), StatusFailed);
}

TEST_P(FailureE2E, ValueTheDriverCannotTakeFailsTheChannel)
{
    ASSERT_TRUE(Start());
    TraceLines();
    ASSERT_TRUE(host.ReadBatch({kI8, kI4}));
    EXPECT_EQ(host.ReadStatus(kI8), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    EXPECT_TRUE(Traced("ItemReadComplete: VariantToValue failed (ItemId = Sim.I8)"));
    EXPECT_EQ(host.Get(kI8, TypeF64).quality, 0u);
}

TEST_P(FailureE2E, ServerGoingDownMakesEveryChannelReportServerDown)
{
    ASSERT_TRUE(
        Start(std::string("behaviour shutdown after=1:") + ReadCall(mode()) + " reason=maintenance\n"));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    ASSERT_TRUE(WaitUntil([&] { return host.ReadStatus(kI4) == StatusServerDown; }, 20000, "server down"));
    for (std::uint32_t channel : {kI4, kR8, kWriteOnly, kNoChannel}) {
        EXPECT_EQ(host.ReadStatus(channel), StatusServerDown);
        EXPECT_EQ(host.WriteStatus(channel), StatusServerDown);
    }
    Delivered untouched = host.Get(kI4, TypeF64);
    EXPECT_EQ(untouched.quality, kPending);
    EXPECT_EQ(untouched.value.payload[0], Asking(TypeF64).payload[0]);
    std::size_t notified = host.notes.size();
    host.RequestWrite(kR8, Value(TypeF64, 1.0));
    host.FireWrite();
    host.RequestRead({kR8});
    host.FireRead();
    PumpMessages();
    EXPECT_EQ(host.notes.size(), notified);
    EXPECT_TRUE(Logged("write ").empty()) << "nothing is stored or sent after the shutdown";
}

class AsyncOnlyE2E : public ExchangeE2E {};

INSTANTIATE_TEST_SUITE_P(AsyncMode, AsyncOnlyE2E, ::testing::Values(Mode::Async), ModeTestName);

TEST_P(AsyncOnlyE2E, CompletionWithCountZeroChangesNothing)
{
    ASSERT_TRUE(Start("behaviour empty-completion OnReadComplete first\n"));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    ASSERT_TRUE(host.ReadBatch({kR8}));
    EXPECT_EQ(host.notes.size(), 2u) << "the empty completions were not notified";
}

TEST_P(AsyncOnlyE2E, CompletionsInsideTheServersCallAndBatchesFiredFromTheNotification)
{
    constexpr std::size_t kBatches = 300;
    ASSERT_TRUE(Start("behaviour completions reentrant\n"));
    host.onNotify = [&](std::uint32_t) {
        if (host.notes.size() >= kBatches) return;
        host.RequestRead({kI4, kR8Array + 2});
        host.FireRead();
    };
    ASSERT_TRUE(host.ReadBatch({kI4, kR8Array + 2}));
    ASSERT_TRUE(host.WaitNotified(kBatches));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8Array + 2, TypeF64).value), 3.0);
    EXPECT_EQ(ServerCalls("AsyncRead"), kBatches);
}

} // namespace
