#include "exchange/batch_timeout.h"

#include "connection/recovery.h"
#include "exchange/batch.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"

namespace {

// A direction's timer is named by its issue message: distinct, non-zero, and readable in a trace.
UINT_PTR TimerId(const BatchKind& kind)
{
    return kind.issueMessage;
}

} // namespace

void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    if (drv.window != nullptr) SetTimer(drv.window, TimerId(kind), drv.batchTimeoutMs, nullptr);
}

void StopBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    if (drv.window != nullptr) KillTimer(drv.window, TimerId(kind));
}

void OnBatchTimeout(OpcDriver& drv, UINT_PTR timerId)
{
    const BatchKind& kind = timerId == TimerId(kWriteBatch) ? kWriteBatch : kReadBatch;
    if (timerId != TimerId(kind)) return;
    StopBatchTimeout(drv, kind);
    // A shutdown notice has ended the batch already; an issue still judging its call owns the batch.
    if (IsServerDown(drv) || !HasFlag(drv, kind.activeFlag) || (drv.*kind.state).issuing) return;
    if (HasFlag(drv, ThreadMode)) {
        // The worker is held in its call: it is given up, and with it the other direction's batch.
        if (!GiveUpOnWorker(drv, &kind == &kWriteBatch)) return;
        const BatchKind& other = &kind == &kWriteBatch ? kReadBatch : kWriteBatch;
        if (HasFlag(drv, other.activeFlag) && !(drv.*other.state).issuing) EndBatch(drv, other);
    }
    EndBatch(drv, kind);
    LoseServer(drv, LossCause::BatchLimit, S_OK);
}
