#include "opcsim/connection_point.h"

#include <new>

#include "opcsim/behaviour.h"
#include "opcsim/text_util.h"
#include "opcsim/sim_window.h"

static HRESULT QueryOwner(ConnectionPoint* self, REFIID iid, void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *out = &self->point.iface;
    InterlockedIncrement(&self->refs);
    return S_OK;
}

static ULONG AddRefOwner(ConnectionPoint* self)
{
    return static_cast<ULONG>(InterlockedIncrement(&self->refs));
}

static ULONG ReleaseOwner(ConnectionPoint* self)
{
    LONG refs = InterlockedDecrement(&self->refs);
    if (refs == 0) {
        ReleaseInterface(self->sink);
        SimProcess& sim = *self->sim;
        delete self;
        ObjectDestroyed(sim);
    }
    return static_cast<ULONG>(refs);
}

namespace {

ConnectionPoint* Self(IConnectionPoint* iface)
{
    return OwnerOf<ConnectionPoint>(iface);
}

HRESULT STDMETHODCALLTYPE Point_GetConnectionInterface(IConnectionPoint* iface, IID* iid)
{
    if (iid == nullptr) return E_POINTER;
    *iid = Self(iface)->iid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Point_GetConnectionPointContainer(IConnectionPoint* iface,
                                                            IConnectionPointContainer** out)
{
    if (out == nullptr) return E_POINTER;
    *out = Self(iface)->container;
    if (*out == nullptr) return E_UNEXPECTED;
    AddRefInterface(*out);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Point_Advise(IConnectionPoint* iface, IUnknown* sink, DWORD* cookie)
{
    ConnectionPoint* self = Self(iface);
    SimProcess& sim = *self->sim;
    if (cookie != nullptr) *cookie = 0;
    CallGate gate = EnterCall(sim, self->adviseCall);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        if (sink == nullptr || cookie == nullptr)
            hr = E_POINTER;
        else if (self->sink != nullptr)
            hr = CONNECT_E_ADVISELIMIT;
        else if (FAILED(sink->lpVtbl->QueryInterface(sink, self->iid, reinterpret_cast<void**>(&self->sink))))
            hr = CONNECT_E_CANNOTCONNECT;
        else {
            self->cookie = self->nextCookie++;
            *cookie = self->cookie;
            hr = LeaveCall(sim, self->adviseCall, gate, S_OK);
        }
    }
    LogCall(sim, self->adviseCall, "", hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Point_Unadvise(IConnectionPoint* iface, DWORD cookie)
{
    ConnectionPoint* self = Self(iface);
    SimProcess& sim = *self->sim;
    CallGate gate = EnterCall(sim, self->unadviseCall);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        if (self->sink == nullptr || cookie != self->cookie) {
            hr = CONNECT_E_NOCONNECTION;
        } else {
            self->cookie = 0;
            ReleaseInterface(self->sink); // may call into the client's sink at once
            hr = LeaveCall(sim, self->unadviseCall, gate, S_OK);
        }
    }
    LogCall(sim, self->unadviseCall, "", hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Point_EnumConnections(IConnectionPoint*, IEnumConnections** out)
{
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
}

const IConnectionPointVtbl kPointVtbl = {
    FacetQueryInterface<IConnectionPoint, ConnectionPoint>,
    FacetAddRef<IConnectionPoint, ConnectionPoint>,
    FacetRelease<IConnectionPoint, ConnectionPoint>,
    Point_GetConnectionInterface,
    Point_GetConnectionPointContainer,
    Point_Advise,
    Point_Unadvise,
    Point_EnumConnections,
};

} // namespace

ConnectionPoint* CreateConnectionPoint(SimProcess& sim, REFIID iid, IConnectionPointContainer* container,
                                       SimMethod adviseCall, SimMethod unadviseCall)
{
    ConnectionPoint* p = new (std::nothrow) ConnectionPoint;
    if (p == nullptr) return nullptr;
    InitFacet(p->point, kPointVtbl, p);
    p->refs = 1;
    p->iid = iid;
    p->container = container;
    p->sim = &sim;
    p->adviseCall = adviseCall;
    p->unadviseCall = unadviseCall;
    ObjectCreated(sim);
    return p;
}

void DetachConnectionPoint(ConnectionPoint*& point)
{
    if (point == nullptr) return;
    point->container = nullptr;
    ReleaseInterface(point->sink);
    ReleaseOwner(point);
    point = nullptr;
}

IUnknown* ConnectedSink(const ConnectionPoint* point)
{
    if (point == nullptr || point->sink == nullptr) return nullptr;
    AddRefInterface(point->sink);
    return point->sink;
}

HRESULT FindPoint(ConnectionPoint* point, REFIID iid, IConnectionPoint** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (point == nullptr || !IsEqualIID(iid, point->iid)) return CONNECT_E_NOCONNECTION;
    *out = &point->point.iface;
    AddRefOwner(point);
    return S_OK;
}
