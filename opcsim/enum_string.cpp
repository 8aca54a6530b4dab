#include "opcsim/enum_string.h"

#include <new>

#include "opcsim/com_object.h"
#include "opcsim/sim_window.h"

struct EnumString {
    Facet<IEnumString, EnumString> iface{};
    LONG refs = 0;
    SimProcess* sim = nullptr;
    std::vector<std::wstring> texts{};
    size_t position = 0;
};

static HRESULT QueryOwner(EnumString* self, REFIID iid, void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumString)) return E_NOINTERFACE;
    *out = &self->iface.iface;
    InterlockedIncrement(&self->refs);
    return S_OK;
}

static ULONG AddRefOwner(EnumString* self)
{
    return static_cast<ULONG>(InterlockedIncrement(&self->refs));
}

static ULONG ReleaseOwner(EnumString* self)
{
    LONG refs = InterlockedDecrement(&self->refs);
    if (refs == 0) {
        SimProcess& sim = *self->sim;
        delete self;
        ObjectDestroyed(sim);
    }
    return static_cast<ULONG>(refs);
}

namespace {

EnumString* Self(IEnumString* iface)
{
    return OwnerOf<EnumString>(iface);
}

HRESULT STDMETHODCALLTYPE Enum_Next(IEnumString* iface, ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched)
{
    EnumString* self = Self(iface);
    if (rgelt == nullptr || (celt > 1 && pceltFetched == nullptr)) return E_INVALIDARG;
    ULONG fetched = 0;
    while (fetched < celt && self->position < self->texts.size()) {
        if (FAILED(CopyOutString(self->texts[self->position], &rgelt[fetched]))) break;
        ++self->position;
        ++fetched;
    }
    if (pceltFetched != nullptr) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE Enum_Skip(IEnumString* iface, ULONG celt)
{
    EnumString* self = Self(iface);
    size_t left = self->texts.size() - self->position;
    self->position += celt < left ? celt : left;
    return celt <= left ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE Enum_Reset(IEnumString* iface)
{
    Self(iface)->position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Enum_Clone(IEnumString* iface, IEnumString** out)
{
    EnumString* self = Self(iface);
    HRESULT hr = CreateEnumString(*self->sim, self->texts, out);
    if (SUCCEEDED(hr)) Self(*out)->position = self->position;
    return hr;
}

const IEnumStringVtbl kEnumVtbl = {
    FacetQueryInterface<IEnumString, EnumString>,
    FacetAddRef<IEnumString, EnumString>,
    FacetRelease<IEnumString, EnumString>,
    Enum_Next,
    Enum_Skip,
    Enum_Reset,
    Enum_Clone,
};

} // namespace

HRESULT CreateEnumString(SimProcess& sim, const std::vector<std::wstring>& texts, IEnumString** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    EnumString* self = new (std::nothrow) EnumString;
    if (self == nullptr) return E_OUTOFMEMORY;
    InitFacet(self->iface, kEnumVtbl, self);
    self->refs = 1;
    self->sim = &sim;
    self->texts = texts;
    ObjectCreated(sim);
    *out = &self->iface.iface;
    return S_OK;
}
