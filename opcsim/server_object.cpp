#include "opcsim/server_object.h"

#include <algorithm>
#include <new>

#include "opcsim/connection_point.h"
#include "opcsim/date_text.h"
#include "opcsim/sim_window.h"
#include "opcsim/subscription.h"

HRESULT QueryOwner(ServerObject* self, REFIID iid, void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const Lacks& lacks = self->sim->scenario.lacks;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOPCServer))
        *out = &self->server.iface;
    else if (IsEqualIID(iid, IID_IOPCCommon) && !lacks.common)
        *out = &self->common.iface;
    else if (IsEqualIID(iid, IID_IConnectionPointContainer) && !lacks.serverPoints)
        *out = &self->points.iface;
    else if (IsEqualIID(iid, IID_IOPCBrowseServerAddressSpace) && !lacks.browse)
        *out = &self->browse.iface;
    else
        return E_NOINTERFACE;
    AddRefOwner(self);
    return S_OK;
}

static ConnectionPoint* PointOf(ServerObject* self)
{
    return self->shutdownPoint;
}

HRESULT CreateServerObject(SimProcess& sim, REFIID iid, void** out)
{
    *out = nullptr;
    ServerObject* self = new (std::nothrow) ServerObject;
    if (self == nullptr) return E_OUTOFMEMORY;
    InitFacet(self->server, kServerVtbl, self);
    InitFacet(self->common, kCommonVtbl, self);
    InitFacet(self->points, kContainerVtbl<ServerObject>, self);
    InitFacet(self->browse, kBrowseVtbl, self);
    self->sim = &sim;
    self->startTime = FileTimeNow();
    self->stepStartTick = GetTickCount64();
    ObjectCreated(sim);
    if (!sim.scenario.lacks.shutdownPoint) {
        self->shutdownPoint = CreateConnectionPoint(sim, IID_IOPCShutdown, &self->points.iface,
                                                    SimMethod::ShutdownAdvise, SimMethod::ShutdownUnadvise);
    }
    sim.servers.push_back(self);
    ArmChangesStop(sim);
    if (sim.scenario.shutdown.enabled && sim.scenario.shutdown.afterCount == 0 && sim.servers.size() == 1)
        SetTimer(sim.window, kTimerShutdown, sim.scenario.shutdown.afterMs, nullptr);
    self->refs = 1;
    HRESULT hr = QueryOwner(self, iid, out);
    ReleaseOwner(self); // on failure this ends the object again
    return hr;
}

ULONG AddRefOwner(ServerObject* server)
{
    return static_cast<ULONG>(InterlockedIncrement(&server->refs));
}

ULONG ReleaseOwner(ServerObject* server)
{
    LONG refs = InterlockedDecrement(&server->refs);
    if (refs == 0) {
        SimProcess& sim = *server->sim;
        DetachConnectionPoint(server->shutdownPoint);
        sim.servers.erase(std::remove(sim.servers.begin(), sim.servers.end(), server), sim.servers.end());
        delete server;
        ObjectDestroyed(sim);
    }
    return static_cast<ULONG>(refs);
}
