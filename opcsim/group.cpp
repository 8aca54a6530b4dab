#include "opcsim/group.h"

#include <algorithm>
#include <new>

#include "idl/opc_constants.h"
#include "opcsim/connection_point.h"
#include "opcsim/server_object.h"
#include "opcsim/sim_window.h"
#include "opcsim/subscription.h"
#include "opcsim/text_util.h"

HRESULT QueryOwner(Group* self, REFIID iid, void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const Lacks& lacks = self->sim->scenario.lacks;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOPCItemMgt))
        *out = &self->itemMgt.iface;
    else if (IsEqualIID(iid, IID_IOPCGroupStateMgt))
        *out = &self->stateMgt.iface;
    else if (IsEqualIID(iid, IID_IOPCSyncIO) && !lacks.syncIo)
        *out = &self->syncIo.iface;
    else if (IsEqualIID(iid, IID_IOPCAsyncIO2) && !lacks.asyncIo)
        *out = &self->asyncIo.iface;
    else if (IsEqualIID(iid, IID_IConnectionPointContainer) && !lacks.groupPoints)
        *out = &self->points.iface;
    else
        return E_NOINTERFACE;
    AddRefOwner(self);
    return S_OK;
}

ULONG AddRefOwner(Group* self)
{
    return static_cast<ULONG>(InterlockedIncrement(&self->refs));
}

ULONG ReleaseOwner(Group* self)
{
    LONG refs = InterlockedDecrement(&self->refs);
    if (refs == 0) {
        SimProcess& sim = *self->sim;
        ServerObject* server = self->server;
        StopUpdates(*self);
        DetachConnectionPoint(self->dataPoint); // releases the client's sink
        server->groups.erase(std::remove(server->groups.begin(), server->groups.end(), self),
                             server->groups.end());
        delete self;
        ReleaseOwner(server);
        ObjectDestroyed(sim);
    }
    return static_cast<ULONG>(refs);
}

static ConnectionPoint* PointOf(Group* self)
{
    return self->dataPoint;
}

Group* CreateGroup(ServerObject& server, const GroupSettings& settings)
{
    Group* g = new (std::nothrow) Group;
    if (g == nullptr) return nullptr;
    InitFacet(g->itemMgt, kItemMgtVtbl, g);
    InitFacet(g->stateMgt, kStateMgtVtbl, g);
    InitFacet(g->syncIo, kSyncIoVtbl, g);
    InitFacet(g->asyncIo, kAsyncIoVtbl, g);
    InitFacet(g->points, kContainerVtbl<Group>, g);
    g->refs = 1;
    g->server = &server;
    AddRefOwner(&server);
    g->sim = server.sim;
    ObjectCreated(*g->sim);
    if (!g->sim->scenario.lacks.dataPoint) {
        g->dataPoint = CreateConnectionPoint(*g->sim, IID_IOPCDataCallback, &g->points.iface,
                                             SimMethod::DataAdvise, SimMethod::DataUnadvise);
    }
    g->name = settings.name;
    g->active = settings.active;
    g->updateRate = settings.updateRate;
    g->hClientGroup = settings.hClientGroup;
    g->hServerGroup = server.nextGroupHandle++;
    g->timeBias = settings.timeBias;
    g->deadband = settings.deadband;
    g->lcid = settings.lcid;
    g->updateTimer = g->sim->nextUpdateTimer++;
    server.groups.push_back(g);
    ScheduleUpdates(*g);
    return g;
}

GroupItem* FindGroupItem(Group& group, OPCHANDLE hServer)
{
    // Handles are handed out in ascending order and removal keeps the order, so the items stay sorted
    // by handle: a batch of n items costs n log n, not n squared.
    auto found = std::lower_bound(group.items.begin(), group.items.end(), hServer,
                                  [](const GroupItem& item, OPCHANDLE h) { return item.hServer < h; });
    return found != group.items.end() && found->hServer == hServer ? &*found : nullptr;
}

HRESULT ReviseRate(const SimProcess& sim, DWORD requested, DWORD& revised)
{
    revised = requested < sim.scenario.minUpdateRate ? sim.scenario.minUpdateRate : requested;
    return revised == requested ? S_OK : OPC_S_UNSUPPORTEDRATE;
}

std::string GroupText(const Group& group)
{
    return "group=" + QuoteIfNeeded(Utf8FromWide(group.name));
}
