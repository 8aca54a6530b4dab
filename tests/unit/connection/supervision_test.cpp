// The supervision's cells: each (state, event) with the step it decides, and the steps performed on an
// instance whose connection is made of fakes.

#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/supervision.h"
#include "tests/support/fake_opc.h"
#include "tests/support/trace_capture.h"
#include "tests/support/wait.h"
#include "tests/unit/connection/connection_test_support.h"
#include "tests/unit/connection/supervision_invariants.h"

namespace {

constexpr std::uint32_t kWaitMs = 10000;
constexpr HRESULT kServerUnavailable = static_cast<HRESULT>(0x800706BA);

using Event = SupervisionEvent;
using Action = SupervisionAction;

class Supervision : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        AddTestChannel(1);
        ASSERT_TRUE(CreateDriverWindow(*drv));
        drv->reconnectMs = 60000;
        drv->ready = true;
        HoldFakeAsyncConnection(*drv, server);
    }
    void TearDown() override
    {
        // A status probe holds the record until it has answered.
        if (drv != nullptr) {
            EXPECT_TRUE(WaitUntil([&] { return drv->holders.load() == 1; }, kWaitMs, "the probe's end"));
        }
        DriverRecordTest::TearDown();
    }

    // The instance as after a loss, without a connection.
    void MakeLost()
    {
        ASSERT_TRUE(Supervise(*drv, Event::ServerGone, kServerUnavailable));
        ASSERT_EQ(drv->supervision.state, LinkState::Lost);
    }

    SupervisionStep DecideIn(LinkState state, Event event)
    {
        drv->supervision.state = state;
        return Decide(*drv, event);
    }

    FakeServer server;
};

struct Cell {
    LinkState state;
    Event event;
    bool reconnect;
    bool threadMode;
    LinkState next;
    Action action;
};

TEST_F(Supervision, DecidesEveryCellAsTheDiagramShows)
{
    const Cell cells[] = {
        {LinkState::Connected, Event::ShutdownNotice, true, false, LinkState::Lost, Action::LetGo},
        {LinkState::Connected, Event::ServerGone, true, true, LinkState::Lost, Action::LetGo},
        {LinkState::Connected, Event::BatchLimit, true, false, LinkState::Lost, Action::LetGo},
        {LinkState::Connected, Event::ShutdownNotice, false, true, LinkState::Dropped, Action::Drop},
        {LinkState::Connected, Event::ServerGone, false, false, LinkState::Connected, Action::Ignore},
        {LinkState::Connected, Event::BatchLimit, false, true, LinkState::Dropped, Action::GiveUp},
        {LinkState::Connected, Event::BatchLimit, false, false, LinkState::Connected, Action::Ignore},
        {LinkState::Connected, Event::ReconnectDue, true, false, LinkState::Connected, Action::Ignore},
        {LinkState::Connected, Event::AttemptAnswered, true, false, LinkState::Connected, Action::Ignore},
        {LinkState::Lost, Event::ReconnectDue, true, false, LinkState::Attempting, Action::StartAttempt},
        {LinkState::Lost, Event::ShutdownNotice, true, false, LinkState::Lost, Action::Ignore},
        {LinkState::Lost, Event::ServerGone, true, true, LinkState::Lost, Action::Ignore},
        {LinkState::Lost, Event::AttemptAnswered, true, false, LinkState::Lost, Action::Ignore},
        {LinkState::Attempting, Event::ServerGone, true, false, LinkState::Attempting, Action::Ignore},
        {LinkState::Attempting, Event::ReconnectDue, true, false, LinkState::Attempting, Action::Ignore},
        {LinkState::Dropped, Event::ShutdownNotice, false, false, LinkState::Dropped, Action::Ignore},
        {LinkState::Dropped, Event::BatchLimit, false, true, LinkState::Dropped, Action::Ignore},
        {LinkState::Connected, Event::Done, true, false, LinkState::Ended, Action::TearDown},
        {LinkState::Lost, Event::Done, true, true, LinkState::Ended, Action::TearDown},
        {LinkState::Attempting, Event::Done, true, false, LinkState::Ended, Action::TearDown},
        {LinkState::Dropped, Event::Done, false, false, LinkState::Ended, Action::TearDown},
        {LinkState::Ended, Event::Done, false, false, LinkState::Ended, Action::Ignore},
        {LinkState::Ended, Event::ShutdownNotice, true, false, LinkState::Ended, Action::Ignore},
    };
    for (const Cell& cell : cells) {
        drv->reconnectMs = cell.reconnect ? 60000 : 0;
        ClearFlag(*drv, ThreadMode);
        if (cell.threadMode) SetFlag(*drv, ThreadMode);
        SupervisionStep step = DecideIn(cell.state, cell.event);
        EXPECT_EQ(step.next, cell.next) << "state " << int(cell.state) << ", event " << int(cell.event);
        EXPECT_EQ(step.action, cell.action) << "state " << int(cell.state) << ", event " << int(cell.event);
    }
    ClearFlag(*drv, ThreadMode);
    drv->supervision.state = LinkState::Connected;
}

TEST_F(Supervision, AnAttemptsAnswerDecidesBetweenReconnectAndRetry)
{
    drv->supervision.attemptResult.store(1);
    EXPECT_EQ(DecideIn(LinkState::Attempting, Event::AttemptAnswered).action, Action::Reconnect);
    drv->supervision.attemptResult.store(0);
    EXPECT_EQ(DecideIn(LinkState::Attempting, Event::AttemptAnswered).action, Action::Retry);
    drv->supervision.state = LinkState::Connected;
}

TEST_F(Supervision, BeforeInitSucceededALossWithReconnectChangesNothing)
{
    drv->ready = false;
    EXPECT_EQ(DecideIn(LinkState::Connected, Event::ServerGone).action, Action::Ignore);
    EXPECT_EQ(DecideIn(LinkState::Connected, Event::ShutdownNotice).action, Action::Ignore);
}

TEST_F(Supervision, ALossLetsTheConnectionGoEndsTheBatchesAndSchedulesTheAttempt)
{
    SetFlag(*drv, ReadActive);
    ASSERT_TRUE(Supervise(*drv, Event::ServerGone, kServerUnavailable));
    EXPECT_EQ(drv->supervision.state, LinkState::Lost);
    EXPECT_TRUE(IsServerDown(*drv));
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1) << "a gone server is released, not forgotten";
    EXPECT_FALSE(HasFlag(*drv, ReadActive));
    EXPECT_TRUE(TakePosted(drv->window, MsgNotifyRead)) << "the outstanding batch is notified";
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
    // A second loss of the same server changes nothing.
    ASSERT_TRUE(Supervise(*drv, Event::ShutdownNotice));
    EXPECT_FALSE(TakePosted(drv->window, MsgNotifyRead));
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
}

TEST_F(Supervision, ABatchLimitInAsynchronousModeForgetsTheConnectionWithoutCallingTheServer)
{
    ASSERT_TRUE(Supervise(*drv, Event::BatchLimit));
    EXPECT_EQ(drv->supervision.state, LinkState::Lost);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
    EXPECT_EQ(server.refs, 0);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
}

// A deferred issue nested in another issue's call, or a limit that expires there, may find the server
// gone while the outer call still uses the connection.
TEST_F(Supervision, ALossInsideAServerCallIsCarriedOutWhenTheOutermostCallReturns)
{
    EnterServerCall(*drv);
    EnterServerCall(*drv);
    ASSERT_TRUE(Supervise(*drv, Event::ServerGone, kServerUnavailable));
    EXPECT_EQ(drv->supervision.state, LinkState::Connected);
    EXPECT_NE(drv->server, nullptr) << "the outer call still uses the connection";
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
    ASSERT_TRUE(LeaveServerCall(*drv));
    EXPECT_EQ(drv->supervision.state, LinkState::Connected) << "only the outermost return carries it out";
    ASSERT_TRUE(LeaveServerCall(*drv));
    EXPECT_EQ(drv->supervision.state, LinkState::Lost);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
    EXPECT_EQ(drv->serverCallDepth, 0u);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
}

// COM's modal loop inside the release may run host code that disposes of the instance.
TEST_F(Supervision, ADisposeInsideTheLossesOwnCallsFreesTheRecordOnlyAfterThem)
{
    OpcDriver* disposed = drv;
    server.shutdownPoint.duringUnadvise = [&] {
        OpcDriver* record = disposed;
        FreeDriverRecord(record);
        EXPECT_NE(disposed->window, nullptr) << "not torn down inside the call";
    };
    EXPECT_FALSE(Supervise(*drv, Event::ShutdownNotice)) << "the record is gone on return";
    drv = nullptr;
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
}

TEST_F(Supervision, ANoticeWithoutReconnectDropsTheConnectionForGood)
{
    drv->reconnectMs = 0;
    SetFlag(*drv, ServerDown | WriteActive);
    ASSERT_TRUE(Supervise(*drv, Event::ShutdownNotice));
    EXPECT_TRUE(ConnectionDropped(*drv));
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0) << "nothing is called on a server that is going away";
    EXPECT_TRUE(TakePosted(drv->window, MsgNotifyWrite));
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
    for (Event event : {Event::ShutdownNotice, Event::ServerGone, Event::BatchLimit, Event::ReconnectDue}) {
        ASSERT_TRUE(Supervise(*drv, event));
        EXPECT_TRUE(ConnectionDropped(*drv));
    }
}

TEST_F(Supervision, AttemptsWaitWhileTooManyWorkersAreHeldInCalls)
{
    ASSERT_NO_FATAL_FAILURE(MakeLost());
    SetFlag(*drv, Trace);
    TraceCapture trace;
    drv->supervision.stuckWorkers.store(kStuckWorkerLimit);
    ASSERT_TRUE(Supervise(*drv, Event::ReconnectDue));
    EXPECT_EQ(drv->supervision.state, LinkState::Lost);
    EXPECT_EQ(drv->supervision.attempts, 0u);
    std::vector<std::wstring> lines = trace.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"Reconnect: attempt postponed, 4 workers still held in calls to the server"),
              std::wstring::npos);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));

    // One of them has returned: the attempt starts (and fails: the record names no server).
    drv->supervision.stuckWorkers.store(kStuckWorkerLimit - 1);
    ASSERT_TRUE(Supervise(*drv, Event::ReconnectDue));
    EXPECT_EQ(drv->supervision.state, LinkState::Attempting);
    EXPECT_EQ(drv->supervision.attempts, 1u);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
    WPARAM number = 0;
    ASSERT_TRUE(WaitForPosted(drv->window, MsgAttemptDone, kWaitMs, &number));
    EXPECT_EQ(number, 1u);
    ASSERT_TRUE(AttemptAnswered(*drv, number));
    ASSERT_TRUE(Supervise(*drv, Event::AttemptAnswered));
    EXPECT_EQ(drv->supervision.state, LinkState::Lost);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
    drv->supervision.stuckWorkers.store(0);
}

TEST_F(Supervision, DoneFromLostEndsTheInstance)
{
    ASSERT_NO_FATAL_FAILURE(MakeLost());
    Done(*drv);
    EXPECT_EQ(drv->supervision.state, LinkState::Ended);
    EXPECT_TRUE(SupervisionInvariantsHold(*drv));
    for (Event event : {Event::ShutdownNotice, Event::ReconnectDue, Event::AttemptAnswered, Event::Done}) {
        ASSERT_TRUE(Supervise(*drv, event));
        EXPECT_EQ(drv->supervision.state, LinkState::Ended);
    }
}

} // namespace
