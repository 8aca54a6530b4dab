#include "exchange/batch_timeout.h"

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
    if (drv.window != nullptr) SetTimer(drv.window, TimerId(kind), kBatchTimeoutMs, nullptr);
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
    EndBatch(drv, kind);
}
