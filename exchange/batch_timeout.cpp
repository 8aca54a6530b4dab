#include "exchange/batch_timeout.h"

#include "connection/message_window.h"
#include "exchange/batch.h"
#include "hostrt/core.h"

namespace {

// The window timer runs this much past the deadline, so that its expiry finds the deadline passed even
// when the tick count lags the timer's own clock.
constexpr std::uint32_t kTimerSlackMs = 100;

} // namespace

void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    BatchState& state = drv.*kind.state;
    state.timerArmed = true;
    state.timerDeadline = Ticks64() + kBatchTimeoutMs;
    StartWindowTimer(drv, kind.timerId, kBatchTimeoutMs + kTimerSlackMs);
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
    EndBatch(drv, kind);
}
