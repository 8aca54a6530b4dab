// What the read and the write cycle both do, run once for each direction.

#include <gtest/gtest.h>

#include "idl/opc_constants.h"
#include "tests/unit/exchange/batch_test_base.h"

namespace {

INSTANTIATE_TEST_SUITE_P(BothDirections, BatchTest, ::testing::Values(kReading, kWriting), DirectionName);

TEST_P(BatchTest, EmptyQueueCallsNothingAndNotifiesNothing)
{
    dir().fire(*drv);
    Pump();
    EXPECT_TRUE(io.calls.empty());
    EXPECT_EQ(drv->flags.load() & (dir().activeFlag | dir().againFlag), 0u);
    EXPECT_TRUE(notes.empty());
}

TEST_P(BatchTest, ChannelRequestedTwiceIsOneItemInRequestOrder)
{
    Request({kChB, kChA, kChB});
    dir().fire(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    EXPECT_EQ(io.calls[0].handles, Handles({kChB, kChA}));
    EXPECT_EQ(io.calls[0].isWrite, dir().kind == 1);
}

TEST_P(BatchTest, TwoNumbersOfOneRangeAreOneItem)
{
    Request({kRangeFirst + 1, kRangeFirst + 3});
    dir().fire(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    EXPECT_EQ(io.calls[0].handles, Handles({kRangeFirst}));
}

TEST_P(BatchTest, ChannelsStayOutstandingUntilTheCompletionThenTheHostIsNotified)
{
    Request({kChA, kChB});
    dir().fire(*drv);
    EXPECT_EQ(StatusOf(kChA), kSentinel);
    EXPECT_TRUE(HasFlag(*drv, dir().activeFlag));
    EXPECT_EQ(Traces(), std::vector<std::wstring>{TraceOf(dir().callText)});

    EXPECT_EQ(dir().complete(*drv, LastTransaction(), S_OK, {kChA, kChB}, {S_OK, S_OK}), S_OK);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    EXPECT_TRUE(notes.empty()) << "the host is told from the window, never inside the server's call";
    Pump();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].userData, kUserData);
    EXPECT_EQ(notes[0].kind, dir().kind);
    EXPECT_EQ(notes[0].zero, 0u);
}

TEST_P(BatchTest, EachAsynchronousBatchCarriesItsOwnTransactionId)
{
    for (DWORD expected = 1; expected <= 3; ++expected) {
        Request({kChA});
        dir().fire(*drv);
        ASSERT_EQ(LastTransaction(), expected);
        dir().complete(*drv, expected, S_OK, {kChA}, {S_OK});
    }
}

TEST_P(BatchTest, ChannelWithoutTheAccessRightIsNeitherQueuedNorCalled)
{
    Request({dir().wrongChannel});
    dir().fire(*drv);
    EXPECT_TRUE(io.calls.empty());
    Traces();
    EXPECT_EQ(StatusOf(dir().wrongChannel), StatusWrongDirection);
    const wchar_t* itemId = dir().wrongChannel == kReadOnly ? L"readOnly" : L"writeOnly";
    EXPECT_EQ(Traces(), std::vector<std::wstring>{TraceOf(dir().wrongDirectionText, itemId)});
}

TEST_P(BatchTest, UnknownChannelIsNotQueuedAndReportsNoChannel)
{
    Request({kUnknown});
    dir().fire(*drv);
    EXPECT_TRUE(io.calls.empty());
    EXPECT_EQ(StatusOf(kUnknown), StatusNoChannel);
}

TEST_P(BatchTest, ChannelNeverExchangedReportsFailed)
{
    EXPECT_EQ(StatusOf(kChC), StatusFailed);
}

TEST_P(BatchTest, NullStatusPlaceIsNotWritten)
{
    EXPECT_FALSE(dir().finalized(*drv, kChA, nullptr));
}

TEST_P(BatchTest, BatchFiredWhileOneIsOutstandingIsIssuedAfterTheHostWasNotified)
{
    Request({kChA});
    dir().fire(*drv);
    Request({kChB});
    dir().fire(*drv);
    dir().fire(*drv);
    EXPECT_EQ(io.calls.size(), 1u);
    EXPECT_TRUE(HasFlag(*drv, dir().againFlag));
    EXPECT_EQ(StatusOf(kChB), kSentinel);

    dir().complete(*drv, LastTransaction(), S_OK, {kChA}, {S_OK});
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_FALSE(HasFlag(*drv, dir().againFlag));
    EXPECT_EQ(StatusOf(kChB), kSentinel);
    Pump();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].serverCallsBefore, 1u) << "the deferred batch went out before the host was told";
    ASSERT_EQ(io.calls.size(), 2u);
    EXPECT_EQ(io.calls[1].handles, Handles({kChB}));
    EXPECT_TRUE(HasFlag(*drv, dir().activeFlag));
}

TEST_P(BatchTest, SFalseFailsOnlyTheRejectedItemAtOnce)
{
    io.result = S_FALSE;
    io.itemErrors = {S_OK, OPC_E_INVALIDHANDLE, S_OK};
    Request({kChA, kChB, kChC});
    dir().fire(*drv);
    EXPECT_EQ(StatusOf(kChB), StatusFailed);
    EXPECT_EQ(StatusOf(kChA), kSentinel);
    EXPECT_EQ(StatusOf(kChC), kSentinel);
    EXPECT_TRUE(HasFlag(*drv, dir().activeFlag));
    EXPECT_EQ(Traces(),
              (std::vector<std::wstring>{TraceOf(dir().callText), TraceOf(dir().rejectedText, L"chB")}));

    dir().complete(*drv, LastTransaction(), S_OK, {kChA, kChC}, {S_OK, S_OK});
    Pump();
    EXPECT_EQ(StatusOf(kChA), StatusOk);
    EXPECT_EQ(StatusOf(kChB), StatusFailed);
    EXPECT_EQ(notes.size(), 1u);
}

struct IssueFailure {
    const char* name;
    HRESULT result;
    std::vector<HRESULT> itemErrors;
    bool returnErrors;
    bool rejectedItems; // traced as items the server refused, else as a failed call
};

TEST_P(BatchTest, IssueThatNoCompletionWillFollowEndsTheBatchOnReturnWithoutNotification)
{
    const IssueFailure failures[] = {
        {"every item rejected", S_FALSE, {E_FAIL, OPC_E_UNKNOWNITEMID}, true, true},
        {"call failed", E_FAIL, {}, false, false},
        {"call succeeded with another success code", OPC_S_CLAMP, {}, true, false},
        {"S_FALSE without the error array", S_FALSE, {}, false, false},
    };
    for (const IssueFailure& failure : failures) {
        SCOPED_TRACE(failure.name);
        io.result = failure.result;
        io.itemErrors = failure.itemErrors;
        io.returnErrors = failure.returnErrors;
        Request({kChA, kChB});
        Traces();
        dir().fire(*drv);
        EXPECT_EQ(StatusOf(kChA), StatusFailed);
        EXPECT_EQ(StatusOf(kChB), StatusFailed);
        EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
        const wchar_t* text = failure.rejectedItems ? dir().rejectedText : dir().failedText;
        EXPECT_EQ(Traces(), (std::vector<std::wstring>{TraceOf(dir().callText), TraceOf(text, L"chA"),
                                                       TraceOf(text, L"chB")}));
        Pump();
        EXPECT_TRUE(notes.empty());
    }
}

TEST_P(BatchTest, ItemErrorThatIsASuccessCodeOtherThanSOkFailsTheItem)
{
    Request({kChA, kChB});
    dir().fire(*drv);
    Traces();
    dir().complete(*drv, LastTransaction(), S_OK, {kChA, kChB}, {OPC_S_CLAMP, S_OK});
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    EXPECT_EQ(StatusOf(kChB), StatusOk);
    EXPECT_EQ(Traces(), (std::vector<std::wstring>{TraceOf(dir().completionText),
                                                   TraceOf(dir().itemFailedText, L"chA")}));
}

TEST_P(BatchTest, NegativeMasterErrorFailsEveryItem)
{
    Request({kChA, kChB});
    dir().fire(*drv);
    dir().complete(*drv, LastTransaction(), E_FAIL, {kChA, kChB}, {S_OK, S_OK});
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    EXPECT_EQ(StatusOf(kChB), StatusFailed);
}

TEST_P(BatchTest, CompletionWithCountZeroChangesNothingAndNotifiesNothing)
{
    Request({kChA});
    dir().fire(*drv);
    const std::uint32_t flags = drv->flags.load();
    dir().complete(*drv, LastTransaction(), S_OK, {}, {});
    Pump();
    EXPECT_EQ(drv->flags.load(), flags);
    EXPECT_EQ(StatusOf(kChA), kSentinel);
    EXPECT_TRUE(notes.empty());
}

TEST_P(BatchTest, CompletionThatLeavesItemsOutFailsThemAndStillNotifiesOnce)
{
    Request({kChA, kChB, kChC});
    dir().fire(*drv);
    Traces();
    dir().complete(*drv, LastTransaction(), S_OK, {kChB, kUnknown, kChB}, {S_OK, S_OK, E_FAIL});
    Pump();
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    EXPECT_EQ(StatusOf(kChB), StatusOk) << "a second answer for an item already answered is ignored";
    EXPECT_EQ(StatusOf(kChC), StatusFailed);
    EXPECT_EQ(Traces(),
              (std::vector<std::wstring>{TraceOf(dir().completionText), TraceOf(dir().itemFailedText, L"chA"),
                                         TraceOf(dir().itemFailedText, L"chC")}));
    EXPECT_EQ(notes.size(), 1u);
}

TEST_P(BatchTest, CompletionOfAnotherTransactionOrWithoutABatchIsIgnored)
{
    dir().complete(*drv, 1, S_OK, {kChA}, {S_OK});
    Request({kChA});
    dir().fire(*drv);
    dir().complete(*drv, LastTransaction() + 1, S_OK, {kChA}, {S_OK});
    Pump();
    EXPECT_EQ(StatusOf(kChA), kSentinel);
    EXPECT_TRUE(HasFlag(*drv, dir().activeFlag));
    EXPECT_TRUE(notes.empty());
}

TEST_P(BatchTest, ServerDownMakesTheCycleInert)
{
    Request({kChA});
    dir().fire(*drv);
    SetFlag(*drv, ServerDown);
    Request({kChB});
    dir().fire(*drv);
    Traces();
    dir().complete(*drv, LastTransaction(), S_OK, {kChA}, {S_OK});
    Pump();
    EXPECT_EQ(io.calls.size(), 1u);
    EXPECT_EQ(StatusOf(kChA), StatusServerDown);
    EXPECT_EQ(StatusOf(kUnknown), StatusServerDown);
    EXPECT_EQ(ChannelOf(kChA).*(dir().kind == 0 ? &Channel::readStatus : &Channel::writeStatus),
              StatusFailed);
    EXPECT_EQ(Traces(), std::vector<std::wstring>{TraceOf(dir().completionText)})
        << "the completion is traced before anything is tested";
    EXPECT_TRUE(notes.empty());
}

TEST_P(BatchTest, InstanceWhoseInitFailedOnlyReportsFailed)
{
    drv->ready = false;
    Request({kChA});
    dir().fire(*drv);
    EXPECT_TRUE(io.calls.empty());
    EXPECT_EQ(StatusOf(kChA), StatusFailed);
    EXPECT_EQ(StatusOf(kUnknown), StatusFailed);
}

TEST_P(BatchTest, InstanceWithoutAnyInterfaceIssuesNothing)
{
    drv->asyncIo = nullptr;
    Request({kChA});
    dir().fire(*drv);
    EXPECT_FALSE(HasFlag(*drv, dir().activeFlag));
    EXPECT_EQ(StatusOf(kChA), kSentinel) << "the request waits for an interface";
}

} // namespace
