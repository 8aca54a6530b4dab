#include "connection/recovery.h"

#include "connection/group.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/recovery_trace.h"
#include "connection/server_call.h"
#include "connection/server_connection.h"
#include "connection/server_gone.h"
#include "connection/server_shutdown.h"
#include "connection/status_probe.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

void ScheduleAttempt(OpcDriver& drv)
{
    drv.supervision.state = LinkState::Lost;
    drv.supervision.attemptDeadline = Ticks64() + drv.reconnectMs;
    StartDeadlineTimer(drv, kReconnectTimerId, drv.reconnectMs);
}

void AttemptFailed(OpcDriver& drv)
{
    TraceAttemptFailed(drv);
    ScheduleAttempt(drv);
}

// The connection's part of a successful attempt; the exchange's part (every channel as never exchanged)
// follows, then FinishRecovery.
void Reconnected(OpcDriver& drv)
{
    drv.shutdownSink.owner = &drv;
    drv.dataSink.owner = &drv;
    drv.supervision.state = LinkState::Connected;
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
    AttemptFailed(drv);
}

} // namespace

bool ReconnectEnabled(const OpcDriver& drv)
{
    return drv.reconnectMs != 0;
}

bool LoseServer(OpcDriver& drv, LossCause cause, HRESULT hr)
{
    if (!ReconnectEnabled(drv) || !drv.ready || drv.supervision.state != LinkState::Connected) return false;
    TraceLoss(drv, cause, hr);
    SetFlag(drv, ServerDown);
    // A shutdown notice of this connection, or a stray message of its number, finds nothing to do now.
    drv.shutdownHandled = true;
    if (HasFlag(drv, ThreadMode)) {
        // An idle worker lets go itself and stays for the attempts; one inside a call is given up.
        // Neither is waited for.
        if (!AskWorkerToLetGo(drv)) {
            ReplaceWorker(drv);
            ReleaseSyncReadBatch(drv);
            ReleaseSyncWriteBatch(drv);
        }
    } else if (cause == LossCause::BatchLimit) {
        // A server that does not answer might not answer the release either: dropped.
        LeaveDeadServer(drv);
    } else {
        // Gone (its calls fail at once) or going (it asked its clients to let go): released, so that
        // nothing of the connection stays in this thread's apartment.
        ReleaseGroup(drv);
        ReleaseServer(drv);
    }
    drv.supervision.attempts = 0;
    ScheduleAttempt(drv);
    return true;
}

bool JudgeServerResult(OpcDriver& drv, HRESULT hr)
{
    return IsServerGone(hr) && LoseServer(drv, LossCause::ServerGone, hr);
}

bool GiveUpOnWorker(OpcDriver& drv, bool write)
{
    if (WorkerAnswered(drv, write)) return false;
    ReplaceWorker(drv);
    ReleaseSyncReadBatch(drv);
    ReleaseSyncWriteBatch(drv);
    if (!ReconnectEnabled(drv)) drv.supervision.workerGivenUp = true;
    return true;
}

bool WorkerGivenUp(const OpcDriver& drv)
{
    return drv.supervision.workerGivenUp;
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

void OnReconnectTimer(OpcDriver& drv)
{
    StopWindowTimer(drv, kReconnectTimerId);
    ++drv.supervision.attempts;
    TraceAttempt(drv);
    drv.supervision.state = LinkState::Attempting;
    drv.supervision.attemptResult.store(kAttemptPending);
    // Only a notice of this attempt's connection counts.
    ClearFlag(drv, NoticeWhileDown);
    bool started = HasFlag(drv, ThreadMode) ? RequestAttempt(drv) : StartStatusProbe(drv);
    if (!started) AttemptFailed(drv);
}

bool OnAttemptDone(OpcDriver& drv)
{
    bool succeeded = drv.supervision.attemptResult.load() == 1;
    if (HasFlag(drv, ThreadMode)) {
        // The worker has released what it acquired and waits for the next attempt.
        if (succeeded) {
            Reconnected(drv);
        } else {
            AttemptFailed(drv);
        }
        return succeeded;
    }
    if (!succeeded) {
        AttemptFailed(drv);
        return false;
    }
    // The host's own server calls: what COM's modal loop lets in meanwhile waits for their end.
    EnterServerCall(drv);
    ConnectAfterProbe(drv);
    if (!LeaveServerCall(drv)) return false;
    return drv.ready && drv.supervision.state == LinkState::Connected;
}

void FinishRecovery(OpcDriver& drv)
{
    drv.shutdownHandled = false;
    ClearFlag(drv, ServerDown);
    TraceRecovered(drv);
    // The new server asked its clients to let go while the attempt was connecting to it: the notice is
    // honoured now, as if it came at this moment (unless a newer one has posted itself meanwhile).
    if ((drv.flags.fetch_and(~NoticeWhileDown) & NoticeWhileDown) != 0 &&
        (drv.flags.fetch_or(ServerDown) & ServerDown) == 0)
        PostToWindow(drv, MsgServerShutdown, 0);
}
