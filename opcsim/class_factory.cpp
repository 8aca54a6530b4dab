#include "opcsim/class_factory.h"

#include "opcsim/com_object.h"
#include "opcsim/server_object.h"
#include "opcsim/sim_window.h"

struct SimFactory {
    Facet<IClassFactory, SimFactory> factory{};
    SimProcess* sim = nullptr;
};

static HRESULT QueryOwner(SimFactory* self, REFIID iid, void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = &self->factory.iface;
    return S_OK;
}

// Not a heap object: COM's references keep nothing alive, LockServer does.
static ULONG AddRefOwner(SimFactory*)
{
    return 2;
}
static ULONG ReleaseOwner(SimFactory*)
{
    return 1;
}

namespace {

HRESULT STDMETHODCALLTYPE Factory_CreateInstance(IClassFactory* iface, IUnknown* outer, REFIID iid,
                                                 void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateServerObject(*OwnerOf<SimFactory>(iface)->sim, iid, out);
}

HRESULT STDMETHODCALLTYPE Factory_LockServer(IClassFactory* iface, BOOL lock)
{
    SimProcess& sim = *OwnerOf<SimFactory>(iface)->sim;
    if (lock)
        ObjectCreated(sim);
    else
        ObjectDestroyed(sim);
    return S_OK;
}

const IClassFactoryVtbl kFactoryVtbl = {
    FacetQueryInterface<IClassFactory, SimFactory>,
    FacetAddRef<IClassFactory, SimFactory>,
    FacetRelease<IClassFactory, SimFactory>,
    Factory_CreateInstance,
    Factory_LockServer,
};

SimFactory g_factory; // the one class object of the process

} // namespace

IClassFactory* SimClassFactory(SimProcess& sim)
{
    InitFacet(g_factory.factory, kFactoryVtbl, &g_factory);
    g_factory.sim = &sim;
    return &g_factory.factory.iface;
}
