// Messages and timers that anyone may post to the instance's top-level window, while a batch is
// outstanding in each mode and direction: none of them changes the batch, and the batch then ends with
// the server's own answer. The guards in between let through only what the instance waits for.

#include <vector>

#include <gtest/gtest.h>

#include "connection/message_window.h"
#include "hostrt/core.h"
#include "idl/opc_constants.h"
#include "tests/unit/exchange/batch_test_base.h"

namespace {

struct Stray {
    UINT message;
    WPARAM wParam;
};

class StrayMessageTest : public BatchTest {
protected:
    // Every message of the driver's range with the numbers a stray one would most likely carry (0, the
    // first ones, and the numbers the instance uses now), and the timers of both directions.
    std::vector<Stray> Strays() const
    {
        std::vector<WPARAM> numbers = {0,
                                       1,
                                       2,
                                       3,
                                       drv->readBatch.transactionId,
                                       drv->writeBatch.transactionId,
                                       drv->readBatch.notesPosted + 1,
                                       drv->writeBatch.notesPosted + 1};
        std::vector<Stray> strays;
        for (UINT message = MsgIssueRead; message <= MsgNotifyWrite; ++message) {
            for (WPARAM number : numbers)
                strays.push_back(Stray{message, number});
        }
        strays.push_back(Stray{WM_TIMER, MsgIssueRead});
        strays.push_back(Stray{WM_TIMER, MsgIssueWrite});
        return strays;
    }
    // Posts every stray to the window and to every top-level window, then dispatches them.
    void PostStrays()
    {
        for (const Stray& stray : Strays()) {
            PostMessageA(drv->window, stray.message, stray.wParam, 0);
            PostMessageA(HWND_BROADCAST, stray.message, stray.wParam, 0);
        }
        Pump();
    }
    void ExpectStillOutstanding(const char* when)
    {
        SCOPED_TRACE(when);
        EXPECT_TRUE(HasFlag(*drv, dir().activeFlag));
        EXPECT_EQ(StatusOf(kChA), kSentinel);
        EXPECT_EQ(StatusOf(kChB), kSentinel);
        EXPECT_TRUE(notes.empty());
    }
};

INSTANTIATE_TEST_SUITE_P(BothDirections, StrayMessageTest, ::testing::Values(kReading, kWriting),
                         DirectionName);

TEST_P(StrayMessageTest, NothingPostedByOthersEndsAnAsynchronousBatch)
{
    Request({kChA, kChB});
    dir().fire(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    // Queued but not fired by the host: a stray issue message must not send it either.
    Request({kChC});
    PostStrays();
    ExpectStillOutstanding("after the strays");
    EXPECT_EQ(io.calls.size(), 1u) << "a stray issue message sent the queue the host had not fired";

    dir().complete(*drv, LastTransaction(), S_OK, {kChA, kChB}, {S_OK, S_OK});
    Pump();
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    EXPECT_EQ(notes.size(), 1u);
    PostStrays();
    EXPECT_EQ(notes.size(), 1u) << "a stray notification reached the host";
    EXPECT_EQ(io.calls.size(), 1u);
}

TEST_P(StrayMessageTest, NothingPostedByOthersEndsABatchTheWorkerHolds)
{
    UseSyncMode(true);
    Request({kChA, kChB});
    dir().fire(*drv);
    ASSERT_NE(drv->*dir().syncChannels, nullptr);
    PostStrays();
    ExpectStillOutstanding("after the strays");
    EXPECT_NE(drv->*dir().syncHandles, nullptr) << "the worker's arrays were released under it";
    EXPECT_NE(drv->*dir().syncChannels, nullptr);

    dir().serveSync(*drv, S_OK, {S_OK, S_OK}, true);
    Pump();
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    EXPECT_EQ(notes.size(), 1u);
}

TEST_P(StrayMessageTest, TheWorkersAnswerToAnEarlierBatchIsNotTakenForTheCurrentOne)
{
    UseSyncMode(true);
    Request({kChA});
    dir().fire(*drv);
    dir().serveSync(*drv, S_OK, {S_OK}, true);
    Pump();
    ASSERT_EQ(notes.size(), 1u);
    std::uint32_t first = drv->*dir().batch->syncNumber;
    Request({kChB});
    dir().fire(*drv);
    ASSERT_NE(drv->*dir().batch->syncNumber, first);
    // The first batch's answer again, as a late duplicate: the worker's stored number is still the first.
    SendMessageA(drv->window, dir().syncDoneMessage, first, 0);
    EXPECT_EQ(StatusOf(kChB), kSentinel);
    EXPECT_NE(drv->*dir().syncChannels, nullptr);
}

TEST_P(StrayMessageTest, TheLimitsTimerActsOnlyOnceItsDeadlineHasPassed)
{
    Request({kChA, kChB});
    dir().fire(*drv);
    SendMessageA(drv->window, WM_TIMER, dir().batch->timerId, 0);
    ExpectStillOutstanding("a timer message before the deadline");
    // The deadline as if 30 s had passed: the same message now gives the batch up.
    (drv->*dir().batch->state).timerDeadline = Ticks64();
    SendMessageA(drv->window, WM_TIMER, dir().batch->timerId, 0);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    Pump();
    EXPECT_EQ(notes.size(), 1u);
}

TEST_P(StrayMessageTest, InSynchronousModeTheLimitsTimerActsOnlyAfterItsDeadline)
{
    UseSyncMode(true);
    Request({kChA});
    dir().fire(*drv);
    SendMessageA(drv->window, WM_TIMER, dir().batch->timerId, 0);
    EXPECT_TRUE(HasFlag(*drv, dir().activeFlag)) << "a timer message before the deadline";
    EXPECT_NE(drv->*dir().syncChannels, nullptr);
    // The worker never answers: at the deadline the batch ends as failed and is notified.
    (drv->*dir().batch->state).timerDeadline = 0;
    SendMessageA(drv->window, WM_TIMER, dir().batch->timerId, 0);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    Pump();
    EXPECT_EQ(notes.size(), 1u);
}

TEST_P(StrayMessageTest, EachBatchEndIsNotifiedOnceAndInOrderWhateverIsPostedBeside)
{
    Request({kChA});
    dir().fire(*drv);
    dir().complete(*drv, LastTransaction(), S_OK, {kChA}, {S_OK});
    Request({kChB});
    dir().fire(*drv);
    dir().complete(*drv, LastTransaction(), S_OK, {kChB}, {S_OK});
    // Two notifications wait, numbered 1 and 2; copies and numbers out of turn arrive first.
    PostMessageA(drv->window, dir().batch->notifyMessage, 2, 0);
    PostMessageA(drv->window, dir().batch->notifyMessage, 5, 0);
    Pump();
    EXPECT_EQ(notes.size(), 2u);
    PostMessageA(drv->window, dir().batch->notifyMessage, 1, 0);
    PostMessageA(drv->window, dir().batch->notifyMessage, 3, 0);
    Pump();
    EXPECT_EQ(notes.size(), 2u);
}

} // namespace
