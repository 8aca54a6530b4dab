#pragma once
// The IUnknown part shared by the two embedded COM objects, as entries of their interface tables. Their
// reference count is a diagnostic only: the objects live exactly as long as the record that embeds
// them, so reaching 0 frees nothing.

#include <windows.h>
#include <objbase.h>

template <class Sink> ULONG STDMETHODCALLTYPE SinkAddRef(Sink* self)
{
    return static_cast<ULONG>(InterlockedIncrement(&self->refs));
}

template <class Sink> ULONG STDMETHODCALLTYPE SinkRelease(Sink* self)
{
    // Never frees: zero only means that COM and the server let go.
    return static_cast<ULONG>(InterlockedDecrement(&self->refs));
}

// Answers IUnknown and the object's own interface (tested in that order) with the object's address.
template <class Sink, const IID* Own>
HRESULT STDMETHODCALLTYPE SinkQueryInterface(Sink* self, REFIID iid, void** out)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, *Own)) return E_NOINTERFACE;
    *out = self;
    SinkAddRef(self);
    return S_OK;
}
