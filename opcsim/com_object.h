// Building blocks of the hand-written COM objects: each interface of an object is a Facet, the
// interface's table pointer followed by the owning object, so a method gets from `This` to its object
// without offset arithmetic. The IUnknown slots of every facet forward to the owner's three functions.
#pragma once

#include <string>

#include <windows.h>
#include <objbase.h>

template <class I, class Owner> struct Facet {
    I iface{};
    Owner* owner = nullptr;
};

template <class Owner, class I> Owner* OwnerOf(I* iface)
{
    return reinterpret_cast<Facet<I, Owner>*>(iface)->owner;
}

template <class I, class Owner, class Vtbl>
void InitFacet(Facet<I, Owner>& facet, const Vtbl& vtbl, Owner* owner)
{
    facet.iface.lpVtbl = const_cast<Vtbl*>(&vtbl); // the C declarations want a non-const table pointer
    facet.owner = owner;
}

// Owners provide: HRESULT QueryOwner(Owner*, REFIID, void**), ULONG AddRefOwner(Owner*), ULONG
// ReleaseOwner(Owner*).
template <class I, class Owner> HRESULT STDMETHODCALLTYPE FacetQueryInterface(I* self, REFIID iid, void** out)
{
    return QueryOwner(OwnerOf<Owner>(self), iid, out);
}
template <class I, class Owner> ULONG STDMETHODCALLTYPE FacetAddRef(I* self)
{
    return AddRefOwner(OwnerOf<Owner>(self));
}
template <class I, class Owner> ULONG STDMETHODCALLTYPE FacetRelease(I* self)
{
    return ReleaseOwner(OwnerOf<Owner>(self));
}

template <class T> void ReleaseInterface(T*& p)
{
    if (p != nullptr) reinterpret_cast<IUnknown*>(p)->lpVtbl->Release(reinterpret_cast<IUnknown*>(p));
    p = nullptr;
}

template <class T> void AddRefInterface(T* p)
{
    reinterpret_cast<IUnknown*>(p)->lpVtbl->AddRef(reinterpret_cast<IUnknown*>(p));
}

// A task-memory copy of the text, as [out, string] parameters need; E_OUTOFMEMORY leaves *out null.
HRESULT CopyOutString(const std::wstring& text, LPWSTR* out);

// A zeroed task-memory array of n elements (the caller frees it with CoTaskMemFree).
template <class T> T* TaskArray(DWORD n)
{
    void* p = CoTaskMemAlloc(sizeof(T) * (n == 0 ? 1 : n));
    if (p != nullptr) ZeroMemory(p, sizeof(T) * (n == 0 ? 1 : n));
    return static_cast<T*>(p);
}
