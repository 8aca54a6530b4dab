#include "connection/supervision.h"

#include "connection/change_inbox.h"
#include "connection/first_values.h"
#include "connection/group.h"
#include "connection/keep_alive.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/recovery_trace.h"
#include "connection/server_connection.h"
#include "connection/server_gone.h"
#include "connection/status_probe.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

bool IsLoss(SupervisionEvent event)
{
    return event == SupervisionEvent::ShutdownNotice || event == SupervisionEvent::ServerGone ||
           event == SupervisionEvent::BatchLimit;
}

SupervisionStep Stay(const OpcDriver& drv)
{
    return {drv.supervision.state, SupervisionAction::Ignore};
}

SupervisionStep DecideLoss(const OpcDriver& drv, SupervisionEvent event)
{
    if (ReconnectEnabled(drv)) {
        if (!drv.ready) return Stay(drv);
        if (drv.serverCallDepth > 0) return {LinkState::Connected, SupervisionAction::Hold};
        return {LinkState::Lost, SupervisionAction::LetGo};
    }
    // With subscribe nothing else would ever tell the host that values stopped coming: every loss drops
    // the connection, and every channel reports the server down.
    if (event == SupervisionEvent::ShutdownNotice || HasFlag(drv, Subscribe)) {
        if (!drv.ready && event != SupervisionEvent::ShutdownNotice) return Stay(drv);
        if (drv.serverCallDepth > 0) return {LinkState::Connected, SupervisionAction::Hold};
        return {LinkState::Dropped, SupervisionAction::Drop};
    }
    if (event == SupervisionEvent::BatchLimit && HasFlag(drv, ThreadMode))
        return {LinkState::Dropped, SupervisionAction::GiveUp};
    return Stay(drv);
}

// The next attempt waits `reconnect` from now; the deadline decides, since anyone can post a WM_TIMER.
void ScheduleAttempt(OpcDriver& drv)
{
    drv.supervision.state = LinkState::Lost;
    drv.supervision.attemptDeadline = Ticks64() + drv.reconnectMs;
    StartDeadlineTimer(drv, kReconnectTimerId, drv.reconnectMs);
}

void Retry(OpcDriver& drv)
{
    TraceAttemptFailed(drv);
    ScheduleAttempt(drv);
}

// Lets the connection go without waiting for the server.
void LetGo(OpcDriver& drv, SupervisionEvent event, HRESULT hr)
{
    TraceLoss(drv, event, hr);
    SetFlag(drv, ServerDown);
    if (HasFlag(drv, ThreadMode)) {
        // An idle worker lets go itself and stays for the attempts; one inside a call is given up.
        // Neither is waited for.
        if (!AskWorkerToLetGo(drv)) GiveUpOnWorker(drv);
    } else if (event == SupervisionEvent::BatchLimit) {
        // A server that does not answer might not answer the release either, nor the releases that
        // ending this thread's apartment would make: abandoned.
        AbandonConnection(drv);
    } else {
        // Gone (its calls fail at once) or going (it asked its clients to let go): released, so that
        // nothing of the connection stays in this thread's apartment.
        ReleaseGroup(drv);
        ReleaseServer(drv);
    }
    drv.supervision.attempts = 0;
    ScheduleAttempt(drv);
}

// Without reconnect, after a shutdown notice (or with subscribe any loss): nothing is called on the
// server, which is going away, has gone, or does not answer.
void DropConnection(OpcDriver& drv, SupervisionEvent event)
{
    if (!WorkerOrphaned(drv) && !HasFlag(drv, ThreadMode)) {
        // Ending this thread's apartment would call a server that does not answer: abandoned, as by LetGo.
        if (event == SupervisionEvent::BatchLimit) {
            AbandonConnection(drv);
        } else {
            LeaveDeadServer(drv);
        }
        return;
    }
    // The interfaces are the worker's: with ServerDown set it leaves the server itself on its way out.
    StopWorker(drv, kWorkerStopWaitMs);
    ClearFlag(drv, ThreadMode);
    // A worker the host gave up on may still write its batch; the record's last holder releases it.
    if (WorkerOrphaned(drv)) return;
    ReleaseSyncReadBatch(drv);
    ReleaseSyncWriteBatch(drv);
}

// LetGo and Drop call the server or end this thread's COM use, so they count as the instance's own
// server calls, and the batches end with them.
bool LoseConnection(OpcDriver& drv, SupervisionStep step, SupervisionEvent event, HRESULT hr)
{
    EnterServerCall(drv);
    StopKeepAlive(drv);
    if (step.action == SupervisionAction::LetGo) {
        LetGo(drv, event, hr);
    } else {
        SetFlag(drv, ServerDown);
        DropConnection(drv, event);
    }
    // Nothing of the lost connection is stored any more (a recovery's changes come after this).
    DiscardChanges(drv);
    drv.supervision.state = step.next;
    drv.supervision.exchange->endBatchesOfLostServer(drv);
    return LeaveServerCall(drv);
}

void StartAttempt(OpcDriver& drv)
{
    StopWindowTimer(drv, kReconnectTimerId);
    if (drv.supervision.stuckWorkers.load() >= kStuckWorkerLimit) {
        TraceAttemptPostponed(drv, drv.supervision.stuckWorkers.load());
        ScheduleAttempt(drv);
        return;
    }
    ++drv.supervision.attempts;
    TraceAttempt(drv);
    drv.supervision.state = LinkState::Attempting;
    drv.supervision.attemptResult.store(kAttemptPending);
    // Only a notice of this attempt's connection counts.
    ClearFlag(drv, NoticeWhileDown);
    bool started = HasFlag(drv, ThreadMode) ? RequestAttempt(drv) : StartStatusProbe(drv);
    if (!started) Retry(drv);
}

// From here on what the server sends to the sinks reaches this instance.
void Connected(OpcDriver& drv)
{
    drv.supervision.state = LinkState::Connected;
    drv.shutdownSink.owner = &drv;
    drv.dataSink.owner = &drv;
}

void Reconnected(OpcDriver& drv)
{
    Connected(drv);
    drv.supervision.attempts = 0;
}

// Asynchronous mode, once the probe saw the server running: the connection is made in the host's
// thread, which then owns its interfaces; a group that cannot serve the mode falls back to a worker as
// at Init.
void ConnectAfterProbe(OpcDriver& drv)
{
    bool fallBackToSync = false;
    if (ConnectRunningServer(drv) && CreateGroup(drv, true, fallBackToSync)) {
        Reconnected(drv);
        return;
    }
    ReleaseGroup(drv);
    ReleaseServer(drv);
    if (fallBackToSync && StartAttemptWorker(drv)) return;
    Retry(drv);
}

// The instance is back: no channel keeps anything from before the loss, ServerDown is cleared and the
// recovery traced. A notice that the new server sent while the attempt connected to it is honoured
// now, as if it came at this moment (unless a newer one has posted itself meanwhile). With subscribe the
// new connection's changes are stored from now on, beginning with its first values (read by the worker,
// or asked for with a refresh). False when the record was freed inside the refresh's call.
bool FinishRecovery(OpcDriver& drv)
{
    drv.supervision.exchange->resetExchange(drv);
    ClearFlag(drv, ServerDown);
    TraceRecovered(drv);
    if ((drv.flags.fetch_and(~NoticeWhileDown) & NoticeWhileDown) != 0 &&
        (drv.flags.fetch_or(ServerDown) & ServerDown) == 0)
        PostToWindow(drv, MsgServerShutdown, 0);
    StartKeepAlive(drv);
    // What the worker queued meanwhile (its first values follow through the window when they come).
    drv.supervision.exchange->applyQueuedChanges(drv);
    return RequestFirstValues(drv, false);
}

bool Reconnect(OpcDriver& drv)
{
    if (!HasFlag(drv, ThreadMode)) {
        // The host's own server calls: what COM's modal loop lets in meanwhile waits for their end.
        EnterServerCall(drv);
        ConnectAfterProbe(drv);
        if (!LeaveServerCall(drv)) return false;
        if (!drv.ready || drv.supervision.state != LinkState::Connected) return true;
    } else {
        // The worker has connected and serves batches as after Init.
        Reconnected(drv);
    }
    return FinishRecovery(drv);
}

// True while a worker that the host gave up on still holds the record: it may be walking the channel
// table (binding items), so the table stays until the record's last holder clears it.
bool RecordShared(const OpcDriver& drv)
{
    return drv.holders.load() > 1;
}

// Done's work, run by the outermost LeaveServerCall.
void TearDown(OpcDriver& drv)
{
    drv.supervision.state = LinkState::Ended;
    StopWindowTimer(drv, kReconnectTimerId);
    StopKeepAlive(drv);
    if (IsServerDown(drv)) {
        // The shutdown notice's message may still be queued, or the server was lost: nothing is called.
        DropConnection(drv, SupervisionEvent::Done);
    } else if (HasFlag(drv, ThreadMode)) {
        // The worker releases the group and the server itself on its way out.
        StopWorker(drv, kWorkerStopWaitMs);
    } else {
        ReleaseGroup(drv);
        ReleaseServer(drv);
    }
    // After this nothing that COM or a late worker delivers reaches the instance.
    drv.shutdownSink.owner = nullptr;
    drv.dataSink.owner = nullptr;
    DiscardChanges(drv);
    if (!RecordShared(drv)) ClearChannels(drv);
    DestroyDriverWindow(drv);
}

} // namespace

SupervisionStep Decide(const OpcDriver& drv, SupervisionEvent event)
{
    LinkState state = drv.supervision.state;
    if (state == LinkState::Ended) return Stay(drv);
    if (event == SupervisionEvent::Done) return {LinkState::Ended, SupervisionAction::TearDown};
    switch (state) {
    case LinkState::Connected:
        return IsLoss(event) ? DecideLoss(drv, event) : Stay(drv);
    case LinkState::Lost:
        if (event == SupervisionEvent::ReconnectDue)
            return {LinkState::Attempting, SupervisionAction::StartAttempt};
        return Stay(drv);
    case LinkState::Attempting:
        if (event != SupervisionEvent::AttemptAnswered) return Stay(drv);
        if (drv.supervision.attemptResult.load() == 1)
            return {LinkState::Connected, SupervisionAction::Reconnect};
        return {LinkState::Lost, SupervisionAction::Retry};
    default:
        return Stay(drv);
    }
}

bool Supervise(OpcDriver& drv, SupervisionEvent event, HRESULT hr)
{
    SupervisionStep step = Decide(drv, event);
    switch (step.action) {
    case SupervisionAction::Hold:
        // The first loss is the one traced; a later one changes nothing of the step.
        if (!drv.supervision.lossHeld) {
            drv.supervision.lossHeld = true;
            drv.supervision.heldLoss = event;
            drv.supervision.heldResult = hr;
        }
        return true;
    case SupervisionAction::LetGo:
    case SupervisionAction::Drop:
        return LoseConnection(drv, step, event, hr);
    case SupervisionAction::GiveUp:
        drv.supervision.state = step.next;
        return true;
    case SupervisionAction::StartAttempt:
        StartAttempt(drv);
        return true;
    case SupervisionAction::Reconnect:
        return Reconnect(drv);
    case SupervisionAction::Retry:
        Retry(drv);
        return true;
    case SupervisionAction::TearDown:
        TearDown(drv);
        return true;
    default:
        return true;
    }
}

void BeginSupervision(OpcDriver& drv)
{
    Connected(drv);
}

bool ReconnectEnabled(const OpcDriver& drv)
{
    return drv.reconnectMs != 0;
}

bool JudgeServerResult(OpcDriver& drv, HRESULT hr)
{
    return !IsServerGone(hr) || Supervise(drv, SupervisionEvent::ServerGone, hr);
}

bool ServerConnected(const OpcDriver& drv)
{
    return drv.supervision.state == LinkState::Connected && !IsServerDown(drv);
}

bool ConnectionDropped(const OpcDriver& drv)
{
    return drv.supervision.state == LinkState::Dropped;
}

bool ShutdownNoticeAwaited(const OpcDriver& drv)
{
    return IsServerDown(drv) && drv.supervision.state == LinkState::Connected;
}

bool ReconnectDue(const OpcDriver& drv)
{
    return drv.ready && drv.supervision.state == LinkState::Lost &&
           Ticks64() >= drv.supervision.attemptDeadline;
}

bool AttemptAnswered(const OpcDriver& drv, WPARAM wParam)
{
    return drv.ready && drv.supervision.state == LinkState::Attempting &&
           wParam == drv.supervision.attempts && drv.supervision.attemptResult.load() != kAttemptPending;
}

void RepostShutdownNotice(OpcDriver& drv)
{
    PostToWindow(drv, MsgServerShutdown, 0);
}

void EnterServerCall(OpcDriver& drv)
{
    ++drv.serverCallDepth;
}

bool LeaveServerCall(OpcDriver& drv)
{
    if (drv.serverCallDepth > 1) {
        --drv.serverCallDepth;
        return true;
    }
    // Still counted inside: the tear-down's own calls may run host code that asks for it again.
    while (drv.doneAsked) {
        drv.doneAsked = false;
        Supervise(drv, SupervisionEvent::Done);
    }
    drv.serverCallDepth = 0;
    if (drv.disposeAsked) {
        OpcDriver* record = &drv;
        ReleaseDriverRecord(record);
        return false;
    }
    if (drv.supervision.lossHeld) {
        drv.supervision.lossHeld = false;
        if (!Supervise(drv, drv.supervision.heldLoss, drv.supervision.heldResult)) return false;
    }
    // After a tear-down the window is gone, and with it whatever was held back.
    RepostDeferredMessages(drv);
    return true;
}
