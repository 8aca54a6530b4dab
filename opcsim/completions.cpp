#include "opcsim/completions.h"

#include <new>

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/callback_thread.h"
#include "opcsim/connection_point.h"
#include "opcsim/group.h"
#include "opcsim/text_util.h"

namespace {

HRESULT MasterQuality(const Completion& c, DWORD n)
{
    for (DWORD i = 0; i < n; ++i) {
        if ((c.qualities[i] & OPC_QUALITY_MASK) != OPC_QUALITY_GOOD) return S_FALSE;
    }
    return S_OK;
}

HRESULT MasterError(const Completion& c, DWORD n)
{
    for (DWORD i = 0; i < n; ++i) {
        if (c.errors[i] != S_OK) return S_FALSE;
    }
    return S_OK;
}

bool Foreign(const SimProcess& sim, SimMethod callback)
{
    if (callback == SimMethod::OnReadComplete) return sim.scenario.foreignRead;
    return callback == SimMethod::OnWriteComplete && sim.scenario.foreignWrite;
}

// One call of the sink; `empty` sends the count 0 with placeholder arrays ([in] arrays may not be null),
// `foreign` every client handle with kForeignHandleBit flipped.
HRESULT Invoke(IOPCDataCallback* sink, Completion& c, bool empty, bool foreign)
{
    DWORD n = empty ? 0 : static_cast<DWORD>(c.clients.size());
    std::vector<OPCHANDLE> foreignClients(c.clients);
    for (OPCHANDLE& handle : foreignClients)
        handle ^= kForeignHandleBit;
    OPCHANDLE noHandle = 0;
    VARIANT noValue;
    VariantInit(&noValue);
    WORD noQuality = 0;
    FILETIME noTime{};
    HRESULT noError = S_OK;
    OPCHANDLE* h = n == 0 ? &noHandle : foreign ? foreignClients.data() : c.clients.data();
    HRESULT* e = n ? c.errors.data() : &noError;
    OPCHANDLE hGroup = c.hClientGroup;
    switch (c.callback) {
    case SimMethod::OnWriteComplete:
        return sink->lpVtbl->OnWriteComplete(sink, c.transId, hGroup, MasterError(c, n), n, h, e);
    case SimMethod::OnCancelComplete:
        return sink->lpVtbl->OnCancelComplete(sink, c.transId, hGroup);
    default: {
        VARIANT* v = n ? c.values.data() : &noValue;
        WORD* q = n ? c.qualities.data() : &noQuality;
        FILETIME* t = n ? c.times.data() : &noTime;
        auto method =
            c.callback == SimMethod::OnDataChange ? sink->lpVtbl->OnDataChange : sink->lpVtbl->OnReadComplete;
        return method(sink, c.transId, hGroup, MasterQuality(c, n), MasterError(c, n), n, h, v, q, t, e);
    }
    }
}

HRESULT InvokeAndLog(SimProcess& sim, IOPCDataCallback* sink, Completion& c, bool empty)
{
    HRESULT hr = Invoke(sink, c, empty, Foreign(sim, c.callback));
    WriteSimLog(sim.log, std::string("callback ") + SimMethodName(c.callback) + " " + c.groupText +
                             " transid=" + std::to_string(c.transId) + " count=" +
                             std::to_string(empty ? 0 : c.clients.size()) + " hr=" + HexHResult(hr));
    return hr;
}

EmptyCompletion EmptyMode(const SimProcess& sim, SimMethod callback)
{
    if (callback == SimMethod::OnReadComplete) return sim.scenario.emptyRead;
    return callback == SimMethod::OnWriteComplete ? sim.scenario.emptyWrite : EmptyCompletion::None;
}

// Delivers at once in this thread or, in the thread mode, from a server thread while this one waits.
void DeliverNow(SimProcess& sim, Completion* c)
{
    IOPCDataCallback* sink = reinterpret_cast<IOPCDataCallback*>(ConnectedSink(c->group->dataPoint));
    if (sink == nullptr) {
        LogDroppedCompletion(sim, *c);
    } else if (sim.scenario.delivery != Delivery::Thread) {
        InvokeCompletion(sim, sink, *c);
    } else {
        HANDLE thread = StartCallbackThread(
            reinterpret_cast<IUnknown*>(sink), IID_IOPCDataCallback, [&sim, c](IUnknown* s) {
                if (s != nullptr) InvokeCompletion(sim, reinterpret_cast<IOPCDataCallback*>(s), *c);
            });
        DWORD index = 0;
        if (thread != nullptr) CoWaitForMultipleHandles(0, INFINITE, 1, &thread, &index);
        if (thread != nullptr) CloseHandle(thread);
    }
    ReleaseInterface(sink);
    FreeCompletion(c);
}

void ScheduleDelivery(SimProcess& sim)
{
    if (sim.pending.empty()) return;
    ULONGLONG now = GetTickCount64(), due = sim.pending.front()->due;
    if (due <= now)
        PostMessageW(sim.window, kMsgDeliver, 0, 0);
    else
        SetTimer(sim.window, kTimerDeliver, static_cast<UINT>(due - now), nullptr);
}

} // namespace

Completion* NewCompletion(Group& group, SimMethod callback, DWORD transId)
{
    Completion* c = new (std::nothrow) Completion;
    if (c == nullptr) return nullptr;
    c->group = &group;
    AddRefOwner(&group);
    c->hClientGroup = group.hClientGroup;
    c->groupText = GroupText(group);
    c->callback = callback;
    c->transId = transId;
    c->cancelId = group.sim->nextCancelId++;
    return c;
}

void FreeCompletion(Completion*& completion)
{
    if (completion == nullptr) return;
    for (VARIANT& v : completion->values)
        VariantClear(&v);
    if (completion->group != nullptr) ReleaseOwner(completion->group);
    delete completion;
    completion = nullptr;
}

void AddReadResult(Completion& completion, OPCHANDLE client, const VARIANT& value, WORD quality,
                   const FILETIME& time, HRESULT error)
{
    completion.clients.push_back(client);
    completion.values.push_back(value);
    completion.qualities.push_back(quality);
    completion.times.push_back(time);
    completion.errors.push_back(error);
}

HRESULT InvokeCompletion(SimProcess& sim, IOPCDataCallback* sink, Completion& completion)
{
    EmptyCompletion mode = EmptyMode(sim, completion.callback);
    HRESULT hr = S_OK;
    if (mode != EmptyCompletion::None) hr = InvokeAndLog(sim, sink, completion, true);
    if (mode != EmptyCompletion::Instead) hr = InvokeAndLog(sim, sink, completion, false);
    return hr;
}

void LogDroppedCompletion(SimProcess& sim, const Completion& completion)
{
    WriteSimLog(sim.log, std::string("drop ") + SimMethodName(completion.callback) + " " +
                             completion.groupText + " transid=" + std::to_string(completion.transId));
}

void DeliverCompletion(SimProcess& sim, Completion* completion)
{
    if (CompletionHangs(sim, completion->callback)) {
        FreeCompletion(completion);
        return;
    }
    DWORD delay = DelayOf(sim, completion->callback);
    if (sim.scenario.delivery != Delivery::Posted) {
        if (delay > 0) PumpingWait(sim, delay);
        DeliverNow(sim, completion);
        return;
    }
    completion->due = GetTickCount64() + delay;
    // Later completions never overtake earlier ones, whatever their delays.
    if (!sim.pending.empty() && sim.pending.back()->due > completion->due)
        completion->due = sim.pending.back()->due;
    sim.pending.push_back(completion);
    ScheduleDelivery(sim);
}

void DeliverDueCompletions(SimProcess& sim)
{
    KillTimer(sim.window, kTimerDeliver);
    while (!sim.pending.empty() && sim.pending.front()->due <= GetTickCount64()) {
        Completion* c = sim.pending.front();
        sim.pending.pop_front();
        DeliverNow(sim, c); // the client may call in meanwhile and queue more
    }
    ScheduleDelivery(sim);
}

bool CancelCompletion(SimProcess& sim, Group& group, DWORD cancelId)
{
    for (Completion* c : sim.pending) {
        if (c->group != &group || c->cancelId != cancelId || c->callback == SimMethod::OnCancelComplete)
            continue;
        c->callback = SimMethod::OnCancelComplete;
        return true;
    }
    return false;
}
