#pragma once
// The IUnknown part shared by the two embedded COM objects. Their reference count is a diagnostic
// only: the objects live exactly as long as the record that embeds them, so reaching 0 frees nothing.

#include <windows.h>
#include <objbase.h>

template <class Sink> ULONG SinkAddRef(Sink* self)
{
    return static_cast<ULONG>(InterlockedIncrement(&self->refs));
}

template <class Sink> ULONG SinkRelease(Sink* self)
{
    // Never frees: zero only means that COM and the server let go.
    return static_cast<ULONG>(InterlockedDecrement(&self->refs));
}

// Answers IUnknown and the object's own interface (tested in that order) with the object's address.
template <class Sink> HRESULT SinkQueryInterface(Sink* self, REFIID iid, void** out, REFIID own)
{
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, own)) return E_NOINTERFACE;
    *out = self;
    SinkAddRef(self);
    return S_OK;
}
