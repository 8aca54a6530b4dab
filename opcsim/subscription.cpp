#include "opcsim/subscription.h"

#include <algorithm>

#include "opcsim/behaviour.h"
#include "opcsim/callback_thread.h"
#include "opcsim/completions.h"
#include "opcsim/connection_point.h"
#include "opcsim/group.h"
#include "opcsim/group_io.h"
#include "opcsim/server_object.h"

namespace {

// The result of an update whose sink could not be reached at all.
constexpr HRESULT kSinkUnreachable = RPC_E_DISCONNECTED;

// The client has died or disconnected its sink: its advise gets no more updates, which would only fail
// again at every tick.
bool ClientGone(HRESULT hr)
{
    static const HRESULT kGone[] = {
        HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE),
        HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF),
        RPC_E_DISCONNECTED,
        CO_E_OBJNOTCONNECTED,
        RPC_E_SERVER_DIED,
        RPC_E_SERVER_DIED_DNE,
    };
    return std::find(std::begin(kGone), std::end(kGone), hr) != std::end(kGone);
}

// A removed group is no longer its server's: it is not found, and sends nothing more.
Group* GroupOfTimer(const SimProcess& sim, UINT_PTR timerId)
{
    for (ServerObject* server : sim.servers) {
        for (Group* group : server->groups) {
            if (group->updateTimer == timerId) return group;
        }
    }
    return nullptr;
}

// The active items whose value or quality changed since the group last sent them; null when none did.
// Linear in the items, and only a changed item costs a value copy.
Completion* CollectChanges(SimProcess& sim, Group& g)
{
    const ChangesRule& rule = sim.scenario.changes;
    Completion* update = nullptr;
    for (GroupItem& item : g.items) {
        if (!item.active) continue;
        MoveSignal(sim.space, item.index);
        ULONGLONG version = sim.space.items[item.index].version;
        if (version == item.sentVersion) continue;
        if (update == nullptr) update = NewCompletion(g, SimMethod::OnDataChange, 0);
        if (update == nullptr) return nullptr; // out of memory: the changes stay for the next tick
        item.sentVersion = version;
        VARIANT value;
        WORD quality = 0;
        FILETIME time{};
        HRESULT error = GroupItemValue(g, SimMethod::OnDataChange, item, false, value, quality, time);
        if (SUCCEEDED(error) && rule.forceQuality) quality = rule.quality;
        AddReadResult(*update, item.hClient, value, quality, time, error);
    }
    return update;
}

// The scenario's hang drops the update; its delay holds only the callback thread. The group's ticks pass
// until the thread hands the update back, so a slow client never has updates pile up.
void SendUpdate(SimProcess& sim, Group& g, Completion* update)
{
    if (CompletionHangs(sim, SimMethod::OnDataChange)) {
        FreeCompletion(update);
        return;
    }
    DWORD delay = DelayOf(sim, SimMethod::OnDataChange);
    IUnknown* sink = ConnectedSink(g.dataPoint);
    SimProcess* process = &sim;
    g.updateInFlight = true;
    HANDLE thread = StartCallbackThread(sink, IID_IOPCDataCallback, [process, update, delay](IUnknown* s) {
        if (delay > 0) Sleep(delay);
        if (s != nullptr) {
            update->result = InvokeCompletion(*process, reinterpret_cast<IOPCDataCallback*>(s), *update);
        } else {
            update->result = kSinkUnreachable;
            LogDroppedCompletion(*process, *update);
        }
        PostMessageW(process->window, kMsgUpdateSent, 0, reinterpret_cast<LPARAM>(update));
    });
    ReleaseInterface(sink);
    if (thread != nullptr) {
        CloseHandle(thread);
        return;
    }
    update->result = kSinkUnreachable; // the sink could not even be marshalled for the thread
    LogDroppedCompletion(sim, *update);
    UpdateSent(update);
}

} // namespace

void ScheduleUpdates(Group& group)
{
    bool due = group.active && group.enabled;
    if (due == group.updateTimerArmed && (!due || group.updateRate == group.updateTimerRate)) return;
    if (due)
        SetTimer(group.sim->window, group.updateTimer, group.updateRate, nullptr); // replaces a running one
    else
        KillTimer(group.sim->window, group.updateTimer);
    group.updateTimerArmed = due;
    group.updateTimerRate = group.updateRate;
}

void StopUpdates(Group& group)
{
    if (group.updateTimerArmed) KillTimer(group.sim->window, group.updateTimer);
    group.updateTimerArmed = false;
}

void ForgetSentValues(Group& group)
{
    for (GroupItem& item : group.items)
        item.sentVersion = 0;
}

bool RunUpdateTimer(SimProcess& sim, UINT_PTR timerId)
{
    if (timerId < kTimerUpdateFirst) return false;
    Group* g = GroupOfTimer(sim, timerId);
    if (g == nullptr) {
        KillTimer(sim.window, timerId);
        return true;
    }
    if (sim.changesStopped || g->updateInFlight || !HasDataSink(*g) || g->dataPoint->cookie == g->goneCookie)
        return true;
    if (g->dataPoint->cookie != g->updateCookie) {
        ForgetSentValues(*g);
        g->updateCookie = g->dataPoint->cookie;
    }
    Completion* update = CollectChanges(sim, *g);
    if (update != nullptr) SendUpdate(sim, *g, update);
    return true;
}

void UpdateSent(Completion* update)
{
    Group& g = *update->group;
    g.updateInFlight = false;
    if (ClientGone(update->result)) g.goneCookie = g.updateCookie;
    FreeCompletion(update); // clears the values: the arrays were [in], the server's own
}

void ArmChangesStop(SimProcess& sim)
{
    const ChangesRule& rule = sim.scenario.changes;
    if (!rule.stop || sim.changesStopArmed) return;
    sim.changesStopArmed = true;
    if (rule.stopAfterMs == 0)
        StopChanges(sim);
    else
        SetTimer(sim.window, kTimerChangesStop, rule.stopAfterMs, nullptr);
}

void StopChanges(SimProcess& sim)
{
    KillTimer(sim.window, kTimerChangesStop);
    if (sim.changesStopped) return;
    sim.changesStopped = true;
    WriteSimLog(sim.log, "changes-stop");
}
