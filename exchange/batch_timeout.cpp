#include "exchange/batch_timeout.h"

#include "connection/supervision.h"
#include "connection/worker.h"
#include "exchange/batch.h"
#include "hostrt/core.h"

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
        // A worker that has answered meanwhile ends the batch with its message.
        if (WorkerAnswered(drv, &kind == &kWriteBatch)) {
            StopBatchTimeout(drv, kind);
            return;
        }
        // The worker is held in its call: it is given up, and with it the other direction's batch.
        GiveUpOnWorker(drv);
        const BatchKind& other = &kind == &kWriteBatch ? kReadBatch : kWriteBatch;
        if (HasFlag(drv, other.activeFlag) && !(drv.*other.state).issuing) EndBatch(drv, other);
    }
    EndBatch(drv, kind);
    Supervise(drv, SupervisionEvent::BatchLimit);
}
