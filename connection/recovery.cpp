#include "connection/recovery.h"

#include <initializer_list>

#include "connection/group.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/recovery_trace.h"
#include "connection/server_connection.h"
#include "connection/server_gone.h"
#include "connection/server_shutdown.h"
#include "connection/status_probe.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"

namespace {

void ScheduleAttempt(OpcDriver& drv)
{
    drv.supervision.state = LinkState::Lost;
    if (drv.window != nullptr) SetTimer(drv.window, kReconnectTimerId, drv.reconnectMs, nullptr);
}

void AttemptFailed(OpcDriver& drv)
{
    TraceAttemptFailed(drv);
    ScheduleAttempt(drv);
}

// No value, quality, timestamp or status from before the loss survives it, and nothing queued then is
// sent: every channel is as after Init.
void ResetChannels(OpcDriver& drv)
{
    OrderedItem* item = nullptr;
    for (bool more = drv.channels.First(&item); more; more = drv.channels.Next(item, &item)) {
        Channel& channel = *static_cast<Channel*>(item);
        channel.channelFlags = 0;
        channel.nextRead = nullptr;
        channel.nextWrite = nullptr;
        ReleaseValue(channel.value);
        channel.value = HostValue{TypeNone, {}};
        for (std::uint32_t i = 0; i < channel.count; ++i) {
            ReleaseValue(channel.elements[i]);
            channel.elements[i] = HostValue{TypeNone, {}};
        }
        channel.quality = 0;
        channel.timestamp = HostTimestamp{};
        channel.readStatus = StatusFailed;
        channel.writeStatus = StatusFailed;
    }
    drv.readHead = drv.readTail = drv.writeHead = drv.writeTail = nullptr;
    drv.readCount = drv.writeCount = 0;
    for (BatchState* state : {&drv.readBatch, &drv.writeBatch}) {
        state->issuing = false;
        state->completionHeld = false;
        state->outstanding = 0;
    }
    drv.flags.fetch_and(~(ReadActive | ReadAgain | WriteActive | WriteAgain));
}

void Recovered(OpcDriver& drv)
{
    ResetChannels(drv);
    drv.shutdownSink.owner = &drv;
    drv.dataSink.owner = &drv;
    drv.supervision.state = LinkState::Connected;
    drv.supervision.attempts = 0;
    ClearFlag(drv, ServerDown);
    TraceRecovered(drv);
}

// Asynchronous mode, once the probe saw the server running: the connection is made in the host's
// thread, which then owns its interfaces; a group that cannot serve the mode falls back to a worker as
// at Init.
void ConnectAfterProbe(OpcDriver& drv)
{
    bool fallBackToSync = false;
    if (ConnectRunningServer(drv) && CreateGroup(drv, true, fallBackToSync)) {
        Recovered(drv);
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

void LoseServer(OpcDriver& drv, LossCause cause, HRESULT hr)
{
    if (!ReconnectEnabled(drv) || !drv.ready || drv.supervision.state != LinkState::Connected) return;
    TraceLoss(drv, cause, hr);
    SetFlag(drv, ServerDown);
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
    EndOutstandingBatches(drv);
    drv.supervision.attempts = 0;
    ScheduleAttempt(drv);
}

void JudgeServerResult(OpcDriver& drv, HRESULT hr)
{
    if (IsServerGone(hr)) LoseServer(drv, LossCause::ServerGone, hr);
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

void OnReconnectTimer(OpcDriver& drv)
{
    if (drv.window != nullptr) KillTimer(drv.window, kReconnectTimerId);
    if (drv.supervision.state != LinkState::Lost || !drv.ready) return;
    ++drv.supervision.attempts;
    TraceAttempt(drv);
    drv.supervision.state = LinkState::Attempting;
    drv.supervision.attemptResult.store(kAttemptPending);
    bool started = HasFlag(drv, ThreadMode) ? RequestAttempt(drv) : StartStatusProbe(drv);
    if (!started) AttemptFailed(drv);
}

void OnAttemptDone(OpcDriver& drv)
{
    // A stray message finds no attempt, or one that has not answered yet.
    std::uint32_t result = drv.supervision.attemptResult.load();
    if (drv.supervision.state != LinkState::Attempting || !drv.ready || result == kAttemptPending) return;
    bool succeeded = result != 0;
    if (HasFlag(drv, ThreadMode)) {
        // The worker has released what it acquired and waits for the next attempt.
        if (succeeded) {
            Recovered(drv);
        } else {
            AttemptFailed(drv);
        }
        return;
    }
    if (succeeded) {
        ConnectAfterProbe(drv);
    } else {
        AttemptFailed(drv);
    }
}
