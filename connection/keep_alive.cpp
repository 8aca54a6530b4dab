#include "connection/keep_alive.h"

#include "opcda.h"

#include "connection/message_window.h"
#include "connection/server_state.h"
#include "connection/supervision.h"
#include "connection/worker.h"
#include "driver/debug_trace.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kTraceQuery[] = L"Keep-alive: IOPCServer->GetStatus(...)";
constexpr wchar_t kTraceNotRunning[] = L"Keep-alive: the server reports a state other than running";
constexpr wchar_t kTraceNoAnswer[] = L"Keep-alive: no answer within the batch time limit";

// Ten periods of the group's rate: a live server has sent changes, or had nothing to send, that often.
constexpr std::uint64_t kPeriodsOfSilence = 10;

void ArmFor(OpcDriver& drv, std::uint64_t ms)
{
    StartDeadlineTimer(drv, kKeepAliveTimerId,
                       ms >= UINT32_MAX ? UINT32_MAX - 1 : static_cast<std::uint32_t>(ms));
}

bool Running(std::uint32_t state)
{
    // A server in test mode answers like a running one; the recovery's probe accepts it too.
    return state == OPC_STATUS_RUNNING || state == OPC_STATUS_TEST;
}

// The check's outcome, in the host's thread. A failure that does not mean the server is gone is not a
// loss: the next interval asks again.
void Judge(OpcDriver& drv, HRESULT hr, std::uint32_t state)
{
    drv.keepAlive.checking = false;
    NoteServerCall(drv);
    if (FAILED(hr)) {
        if (!JudgeServerResult(drv, hr)) return;
    } else if (!Running(state)) {
        EmitTraceLine(drv, kTraceNotRunning);
        if (!Supervise(drv, SupervisionEvent::ServerGone, E_FAIL)) return;
    }
    if (drv.keepAlive.armed) ArmFor(drv, KeepAliveIntervalMs(drv));
}

// Asynchronous mode: the host's thread owns the server and asks it itself. False when the record was
// freed inside the call (a DisposeDriver of host code that COM's modal loop ran).
bool QueryStatus(OpcDriver& drv, HRESULT& hr, DWORD& state)
{
    EmitTraceLine(drv, kTraceQuery);
    EnterServerCall(drv);
    hr = drv.server != nullptr ? AskServerState(*drv.server, state) : E_POINTER;
    return LeaveServerCall(drv);
}

void BeginCheck(OpcDriver& drv)
{
    KeepAlive& k = drv.keepAlive;
    k.checking = true;
    k.number = k.number + 1 == 0 ? 1 : k.number + 1;
    k.deadline = Ticks64() + drv.batchTimeoutMs;
    ArmFor(drv, drv.batchTimeoutMs);
    if (HasFlag(drv, ThreadMode)) {
        // The worker answers with MsgKeepAliveDone; an ended worker never will, and the limit decides.
        if (WorkerAlive(drv)) SignalWorker(drv, k.statusEvent);
        return;
    }
    DWORD state = 0;
    HRESULT hr = S_OK;
    if (!QueryStatus(drv, hr, state)) return;
    // A loss or Done inside the call has ended the check already.
    if (k.checking) Judge(drv, hr, state);
}

} // namespace

std::uint32_t KeepAliveIntervalMs(const OpcDriver& drv)
{
    std::uint64_t ms = drv.reconnectMs != 0 ? drv.reconnectMs : kPeriodsOfSilence * drv.updateRateMs;
    return ms >= UINT32_MAX ? UINT32_MAX - 1 : static_cast<std::uint32_t>(ms);
}

void StartKeepAlive(OpcDriver& drv)
{
    if (!HasFlag(drv, Subscribe)) return;
    drv.keepAlive.armed = true;
    drv.keepAlive.checking = false;
    NoteServerCall(drv);
    ArmFor(drv, KeepAliveIntervalMs(drv));
}

void StopKeepAlive(OpcDriver& drv)
{
    drv.keepAlive.armed = false;
    drv.keepAlive.checking = false;
    StopWindowTimer(drv, kKeepAliveTimerId);
}

void NoteServerCall(OpcDriver& drv)
{
    drv.keepAlive.lastCall = Ticks64();
}

bool KeepAliveTimerAwaited(const OpcDriver& drv)
{
    return drv.keepAlive.armed && ServerConnected(drv);
}

void OnKeepAliveTimer(OpcDriver& drv)
{
    KeepAlive& k = drv.keepAlive;
    std::uint64_t now = Ticks64();
    if (k.checking) {
        if (now < k.deadline) return;
        // A worker that has answered meanwhile is judged by its answer, whose message is on its way.
        if (HasFlag(drv, ThreadMode) && k.answered.load(std::memory_order_acquire) == k.number) {
            OnKeepAliveAnswer(drv);
            return;
        }
        k.checking = false;
        EmitTraceLine(drv, kTraceNoAnswer);
        // A worker held in the call is given up, as for a batch; the host's thread was never held.
        if (HasFlag(drv, ThreadMode)) GiveUpOnWorker(drv);
        Supervise(drv, SupervisionEvent::BatchLimit);
        return;
    }
    std::uint64_t due = k.lastCall + KeepAliveIntervalMs(drv);
    if (now < due) {
        ArmFor(drv, due - now);
        return;
    }
    BeginCheck(drv);
}

bool KeepAliveAnswerAwaited(const OpcDriver& drv, WPARAM wParam)
{
    const KeepAlive& k = drv.keepAlive;
    return k.checking && HasFlag(drv, ThreadMode) && ServerConnected(drv) && wParam == k.number &&
           k.answered.load(std::memory_order_acquire) == wParam;
}

void OnKeepAliveAnswer(OpcDriver& drv)
{
    Judge(drv, drv.keepAlive.result, drv.keepAlive.serverState);
}
