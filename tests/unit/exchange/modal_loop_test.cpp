// Host code and the instance's own messages run inside the instance's server call, as COM's modal loop
// on some Windows versions runs them: the fake's Read and Write dispatch the thread's posted messages
// before they return. Whatever the host does from there, the record and the batch stay sound; the heap
// keeps every freed block poisoned, so a use after free fails the test.

#include <gtest/gtest.h>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "tests/support/wait.h"
#include "tests/unit/exchange/batch_test_base.h"
#include "tests/unit/exchange/quarantine_heap.h"

namespace {

class ModalLoopTest : public BatchTest {
protected:
    // The other direction, whose notification waits in the queue when this one's call begins.
    const Direction& other() const { return dir().kind == kReading.kind ? kWriting : kReading; }
    // A finished batch of the other direction whose notification is posted, not yet dispatched.
    void LeaveOtherNotificationQueued()
    {
        other().request(*drv, kChC);
        other().fire(*drv);
        other().complete(*drv, io.calls.back().transactionId, S_OK, {kChC}, {S_OK});
        ASSERT_TRUE(notes.empty());
    }
    // The host's DisposeDriver (after Done): the fixture's record is gone afterwards.
    void EndInstance()
    {
        Done(*drv);
        FreeDriverRecord(drv);
    }
};

INSTANTIATE_TEST_SUITE_P(BothDirections, ModalLoopTest, ::testing::Values(kReading, kWriting), DirectionName);

TEST_P(ModalLoopTest, ANotificationWaitsUntilTheCallHasReturnedAndTheHostMayEndTheInstanceInIt)
{
    QuarantineHeap heap;
    ASSERT_NO_FATAL_FAILURE(LeaveOtherNotificationQueued());
    std::size_t notesInsideTheCall = 0;
    io.duringCall = [&](const AsyncCall&) {
        PumpMessages();
        notesInsideTheCall = notes.size();
    };
    onNotify = [&](std::uint32_t) { EndInstance(); };
    Request({kChA, kChB});
    dir().fire(*drv);
    EXPECT_EQ(notesInsideTheCall, 0u) << "the host was called inside the driver's server call";
    ASSERT_NE(drv, nullptr);
    EXPECT_EQ(StatusOf(kChA), kSentinel) << "the batch went out and waits for its completion";
    Pump();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].kind, other().kind);
    EXPECT_EQ(drv, nullptr) << "the host ended the instance from its notification";
    EXPECT_TRUE(heap.Untouched());
}

TEST_P(ModalLoopTest, DoneAndDisposeFromHostCodeInsideTheCallTakeEffectWhenItHasReturned)
{
    QuarantineHeap heap;
    OpcDriver* record = drv;
    bool aliveAfterDispose = false;
    io.duringCall = [&](const AsyncCall& call) {
        dir().complete(*record, call.transactionId, S_OK, {kChA}, {S_OK});
        EndInstance();
        aliveAfterDispose = record->disposeAsked && record->channels.Count > 0;
    };
    Request({kChA, kChB});
    dir().fire(*record);
    EXPECT_TRUE(aliveAfterDispose) << "the record was freed while its issue still used it";
    EXPECT_EQ(drv, nullptr);
    Pump();
    EXPECT_TRUE(notes.empty()) << "nothing reaches a host that ended the instance";
    EXPECT_TRUE(heap.Untouched());
}

TEST_P(ModalLoopTest, AShutdownNoticeInsideACallThatHoldsACompletionNotifiesOnce)
{
    io.duringCall = [&](const AsyncCall& call) {
        dir().complete(*drv, call.transactionId, S_OK, {kChA}, {S_OK});
        // The server's notice, as the shutdown sink gives it, and the modal loop dispatching it.
        SetFlag(*drv, ServerDown);
        PostMessageA(drv->window, MsgServerShutdown, 0, 0);
        PumpMessages();
    };
    Request({kChA});
    dir().fire(*drv);
    EXPECT_EQ(drv->asyncIo, &io) << "the connection was dropped under the call";
    Pump();
    Pump();
    EXPECT_EQ(drv->asyncIo, nullptr) << "the notice is handled once the call has returned";
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].kind, dir().kind);
    EXPECT_EQ(StatusOf(kChA), StatusServerDown);
}

TEST_P(ModalLoopTest, ABatchFiredInsideACallThatFailsAsAWholeGoesOutAfterIt)
{
    io.result = E_FAIL;
    io.duringCall = [&](const AsyncCall&) {
        if (io.calls.size() > 1) return;
        Request({kChB});
        dir().fire(*drv);
        io.result = S_OK; // the next call is accepted
    };
    Request({kChA});
    dir().fire(*drv);
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    Pump();
    ASSERT_EQ(io.calls.size(), 2u) << "the batch fired inside the failed call was lost";
    EXPECT_EQ(io.calls[1].handles, Handles({kChB}));
    EXPECT_FALSE(HasFlag(*drv, dir().againFlag));
}

} // namespace
