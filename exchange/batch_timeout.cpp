#include "exchange/batch_timeout.h"

#include "connection/message_window.h"
#include "connection/recovery.h"
#include "exchange/batch.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"
#include "hostrt/core.h"

void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    BatchState& state = drv.*kind.state;
    state.timerArmed = true;
    state.timerDeadline = Ticks64() + drv.batchTimeoutMs;
    StartDeadlineTimer(drv, kind.timerId, drv.batchTimeoutMs);
}

void StopBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    (drv.*kind.state).timerArmed = false;
    StopWindowTimer(drv, kind.timerId);
}

bool BatchTimeoutDue(const OpcDriver& drv, const BatchKind& kind)
{
    const BatchState& state = drv.*kind.state;
    // A shutdown notice has ended the batch already; an issue still judging its call owns the batch.
    if (!state.timerArmed || IsServerDown(drv) || !HasFlag(drv, kind.activeFlag) || state.issuing)
        return false;
    return Ticks64() >= state.timerDeadline;
}

void OnBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    if (HasFlag(drv, ThreadMode)) {
        // The worker is held in its call: it is given up, and with it the other direction's batch. A
        // worker that has answered meanwhile ends the batch with its message.
        if (!GiveUpOnWorker(drv, &kind == &kWriteBatch)) {
            StopBatchTimeout(drv, kind);
            return;
        }
        const BatchKind& other = &kind == &kWriteBatch ? kReadBatch : kWriteBatch;
        if (HasFlag(drv, other.activeFlag) && !(drv.*other.state).issuing) EndBatch(drv, other);
    }
    EndBatch(drv, kind);
    if (LoseServer(drv, LossCause::BatchLimit, S_OK)) EndBatchesOfLostServer(drv);
}
