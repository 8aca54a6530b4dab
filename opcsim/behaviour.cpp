#include "opcsim/behaviour.h"

#include "opcsim/text_util.h"

namespace {

bool Matches(SimMethod rule, SimMethod call)
{
    return rule == call || rule == SimMethod::Any;
}

bool Triggers(const TriggerRule& r, SimMethod method, DWORD nth, DWORD anyNth)
{
    return r.method == method ? r.nth == nth : (r.method == SimMethod::Any && r.nth == anyNth);
}

} // namespace

CallGate EnterCall(SimProcess& sim, SimMethod method)
{
    DWORD nth = ++sim.calls[static_cast<int>(method)];
    DWORD anyNth = ++sim.calls[static_cast<int>(SimMethod::Any)];
    const Scenario& s = sim.scenario;
    for (const TriggerRule& r : s.crashes) {
        if (Triggers(r, method, nth, anyNth)) {
            WriteSimLog(sim.log, std::string("crash ") + SimMethodName(method));
            TerminateProcess(GetCurrentProcess(), 3); // no clean-up at all, as a crash
        }
    }
    for (const TriggerRule& r : s.exits) {
        if (Triggers(r, method, nth, anyNth)) {
            // A clean end inside the call: COM forgets the class, so the next client starts a new server.
            WriteSimLog(sim.log, std::string("exit-call ") + SimMethodName(method));
            CoRevokeClassObject(sim.classCookie);
            CloseSimLog(sim.log);
            ExitProcess(0);
        }
    }
    for (const TriggerRule& r : s.hangs) {
        if (Triggers(r, method, nth, anyNth)) {
            WriteSimLog(sim.log, std::string("hang ") + SimMethodName(method));
            PumpingWait(sim, INFINITE);
            return CallGate{RPC_E_SERVERFAULT, false};
        }
    }
    DWORD delay = DelayOf(sim, method);
    if (delay > 0 && !PumpingWait(sim, delay)) return CallGate{RPC_E_SERVERFAULT, false};
    CallGate gate;
    for (const ResultRule& r : s.results) {
        if (r.method == method && nth >= r.fromCall) gate = CallGate{r.hr, SUCCEEDED(r.hr)};
    }
    return gate;
}

HRESULT LeaveCall(SimProcess& sim, SimMethod method, const CallGate& gate, HRESULT hr)
{
    const ShutdownRule& rule = sim.scenario.shutdown;
    if (rule.enabled && rule.afterCount > 0 && rule.afterMethod == method &&
        sim.calls[static_cast<int>(method)] == rule.afterCount)
        PostMessageW(sim.window, kMsgShutdown, 0, 0); // after this call has returned
    return gate.replaces ? gate.forced : hr;
}

void LogCall(SimProcess& sim, SimMethod method, const std::string& details, HRESULT hr)
{
    WriteSimLog(sim.log, std::string("call ") + SimMethodName(method) + (details.empty() ? "" : " ") +
                             details + " hr=" + HexHResult(hr));
}

HRESULT ItemError(const SimProcess& sim, SimMethod method, const std::wstring& itemId)
{
    for (const ItemErrorRule& r : sim.scenario.itemErrors) {
        if (Matches(r.method, method) && r.itemId == itemId) return r.hr;
    }
    return S_OK;
}

bool CompletionHangs(SimProcess& sim, SimMethod callback)
{
    DWORD nth = ++sim.calls[static_cast<int>(callback)];
    for (const TriggerRule& r : sim.scenario.hangs) {
        if (r.method == callback && r.nth == nth) {
            WriteSimLog(sim.log, std::string("hang ") + SimMethodName(callback));
            return true;
        }
    }
    return false;
}

DWORD DelayOf(const SimProcess& sim, SimMethod method)
{
    DWORD ms = 0;
    for (const DelayRule& r : sim.scenario.delays) {
        if (r.method == method) ms = r.ms;
    }
    return ms;
}

bool PumpingWait(SimProcess& sim, DWORD ms)
{
    DWORD index = 0;
    HRESULT hr = CoWaitForMultipleHandles(0, ms, 1, &sim.quitEvent, &index);
    return hr == RPC_S_CALLPENDING; // the time ran out; S_OK means the quit event was set
}
