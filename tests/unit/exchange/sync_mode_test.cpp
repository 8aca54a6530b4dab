// The synchronous mode: the batch handed to the worker thread and its answer, for each direction. The
// test plays the worker: it checks the hand-off, fills in the results and delivers the completion.

#include <gtest/gtest.h>

#include "idl/opc_constants.h"
#include "tests/unit/exchange/batch_test_base.h"

namespace {

class SyncBatchTest : public BatchTest {
protected:
    bool WorkerWoken() const { return WaitForSingleObject(drv->*dir().event, 0) == WAIT_OBJECT_0; }
    std::vector<std::uint32_t> HandedOver(std::uint32_t* OpcDriver::*field) const
    {
        const std::uint32_t* array = drv->*field;
        return array == nullptr ? std::vector<std::uint32_t>{}
                                : std::vector<std::uint32_t>(array, array + drv->*dir().syncCount);
    }
    bool BatchReleased() const
    {
        return drv->*dir().syncHandles == nullptr && drv->*dir().syncChannels == nullptr &&
               drv->syncReadStates == nullptr && drv->syncReadErrors == nullptr &&
               drv->syncWriteValues == nullptr && drv->syncWriteErrors == nullptr;
    }
};

INSTANTIATE_TEST_SUITE_P(BothDirections, SyncBatchTest, ::testing::Values(kReading, kWriting), DirectionName);

TEST_P(SyncBatchTest, BatchIsHandedToTheWorkerAndItsAnswerCompletesIt)
{
    UseSyncMode(true);
    Request({kChB, kChA});
    dir().fire(*drv);
    EXPECT_TRUE(io.calls.empty());
    EXPECT_TRUE(WorkerWoken());
    EXPECT_EQ(HandedOver(dir().syncHandles),
              (std::vector<std::uint32_t>{kChB + kHandleOffset, kChA + kHandleOffset}));
    EXPECT_EQ(HandedOver(dir().syncChannels), (std::vector<std::uint32_t>{kChB, kChA}));
    EXPECT_EQ(StatusOf(kChA), kSentinel);
    Traces();

    dir().serveSync(*drv, S_OK, {S_OK, S_OK}, true);
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    EXPECT_TRUE(BatchReleased());
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_TRUE(Traces().empty()) << "the worker traces its own call";
    Pump();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].kind, dir().kind);
    EXPECT_EQ(notes[0].userData, kUserData);
}

TEST_P(SyncBatchTest, ItemErrorsAreJudgedOneByOne)
{
    UseSyncMode(true);
    Request({kChA, kChB});
    dir().fire(*drv);
    dir().serveSync(*drv, S_FALSE, {S_OK, OPC_E_BADRIGHTS}, true);
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusFailed);
}

TEST_P(SyncBatchTest, CallFailedAsAWholeFailsEveryItemAndStillNotifies)
{
    const struct {
        const char* name;
        HRESULT result;
    } answers[] = {{"call failed", E_FAIL}, {"success without the arrays", S_OK}};
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.name);
        notes.clear();
        Request({kChA, kChB});
        if (drv->thread == nullptr) UseSyncMode(true);
        dir().fire(*drv);
        Traces();
        dir().serveSync(*drv, answer.result, {}, false);
        EXPECT_EQ(StatusOf(kChA), StatusFailed);
        EXPECT_EQ(StatusOf(kChB), StatusFailed);
        EXPECT_EQ(Traces(), (std::vector<std::wstring>{TraceOf(dir().itemFailedText, L"chA"),
                                                       TraceOf(dir().itemFailedText, L"chB")}));
        EXPECT_TRUE(BatchReleased());
        Pump();
        EXPECT_EQ(notes.size(), 1u);
    }
}

TEST_P(SyncBatchTest, WorkerThatHasEndedFailsTheBatchAtOnceAndItsArraysAreReleased)
{
    UseSyncMode(false);
    Request({kChA, kChB});
    Traces();
    dir().fire(*drv);
    EXPECT_FALSE(WorkerWoken());
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    EXPECT_EQ(StatusOf(kChB), StatusFailed);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_TRUE(BatchReleased());
    EXPECT_EQ(Traces(), (std::vector<std::wstring>{TraceOf(dir().failedText, L"chA"),
                                                   TraceOf(dir().failedText, L"chB")}));
    Pump();
    EXPECT_TRUE(notes.empty());
}

TEST_P(SyncBatchTest, CompletionMessageWithoutABatchChangesNothing)
{
    UseSyncMode(true);
    PostMessageA(drv->window, dir().syncDoneMessage, 0, 0);
    Pump();
    Request({kChA});
    dir().fire(*drv);
    dir().serveSync(*drv, S_OK, {S_OK}, true);
    PostMessageA(drv->window, dir().syncDoneMessage, 0, 0);
    Pump();
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_EQ(StatusOf(kChA), StatusOk);
}

TEST_P(SyncBatchTest, BatchFiredWhileOneIsWithTheWorkerIsHandedOverAfterTheAnswer)
{
    UseSyncMode(true);
    Request({kChA});
    dir().fire(*drv);
    ASSERT_TRUE(WorkerWoken());
    Request({kChB});
    dir().fire(*drv);
    EXPECT_FALSE(WorkerWoken());
    EXPECT_EQ(HandedOver(dir().syncChannels), std::vector<std::uint32_t>{kChA});
    dir().serveSync(*drv, S_OK, {S_OK}, true);
    Pump();
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_TRUE(WorkerWoken());
    EXPECT_EQ(HandedOver(dir().syncChannels), std::vector<std::uint32_t>{kChB});
}

} // namespace
