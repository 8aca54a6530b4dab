// A connection point with room for one sink, for the server's IOPCShutdown and each group's
// IOPCDataCallback. Owned by its container (one reference); a client may hold it longer, and after
// DetachConnectionPoint it no longer knows its container.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "opcsim/com_object.h"
#include "opcsim/sim_process.h"

struct ConnectionPoint {
    Facet<IConnectionPoint, ConnectionPoint> point{};
    LONG refs = 0;
    IID iid{};
    IConnectionPointContainer* container = nullptr; // not counted; the container detaches on its end
    IUnknown* sink = nullptr;                       // counted; the sink's interface `iid`
    DWORD cookie = 0;
    DWORD nextCookie = 1;
    SimProcess* sim = nullptr;
    SimMethod adviseCall = SimMethod::DataAdvise;
    SimMethod unadviseCall = SimMethod::DataUnadvise;
};

// Null when out of memory. The point starts with the container's one reference.
ConnectionPoint* CreateConnectionPoint(SimProcess& sim, REFIID iid, IConnectionPointContainer* container,
                                       SimMethod adviseCall, SimMethod unadviseCall);
// The container ends: drops the sink and the container's reference; nulls `point`. Safe to repeat.
void DetachConnectionPoint(ConnectionPoint*& point);
// The advised sink with one reference for the caller, or null.
IUnknown* ConnectedSink(const ConnectionPoint* point);
// FindConnectionPoint of a container with this one point (null: the container lacks it).
HRESULT FindPoint(ConnectionPoint* point, REFIID iid, IConnectionPoint** out);

// IConnectionPointContainer of an object with one connection point; Owner provides
// ConnectionPoint* PointOf(Owner*) (null when the scenario takes the point away).
template <class Owner>
HRESULT STDMETHODCALLTYPE Container_EnumConnectionPoints(IConnectionPointContainer*,
                                                         IEnumConnectionPoints** out)
{
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
}

template <class Owner>
HRESULT STDMETHODCALLTYPE Container_FindConnectionPoint(IConnectionPointContainer* iface, REFIID iid,
                                                        IConnectionPoint** out)
{
    return FindPoint(PointOf(OwnerOf<Owner>(iface)), iid, out);
}

template <class Owner>
const IConnectionPointContainerVtbl kContainerVtbl = {
    FacetQueryInterface<IConnectionPointContainer, Owner>,
    FacetAddRef<IConnectionPointContainer, Owner>,
    FacetRelease<IConnectionPointContainer, Owner>,
    Container_EnumConnectionPoints<Owner>,
    Container_FindConnectionPoint<Owner>,
};
