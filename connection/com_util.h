#pragma once
// Small COM helpers of the connection: every pointer is tested before use and nulled on release, and a
// call counts as successful only with S_OK and the pointer it promised.

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

template <class T> void ReleaseInterface(T*& p)
{
    if (p == nullptr) return;
    p->Release();
    p = nullptr;
}

// Asks from for iid into into. True only for S_OK with a pointer; otherwise into is null (a pointer
// that came with another result is released).
template <class From, class T> bool QueryInto(From* from, REFIID iid, T*& into)
{
    void* object = nullptr;
    HRESULT hr = from->QueryInterface(iid, &object);
    into = static_cast<T*>(object);
    if (hr == S_OK && into != nullptr) return true;
    if (SUCCEEDED(hr)) ReleaseInterface(into);
    into = nullptr;
    return false;
}

// The connection point of points for iid, on the same terms as QueryInto.
inline bool FindPoint(IConnectionPointContainer* points, REFIID iid, IConnectionPoint*& point)
{
    point = nullptr;
    HRESULT hr = points->FindConnectionPoint(iid, &point);
    if (hr == S_OK && point != nullptr) return true;
    if (SUCCEEDED(hr)) ReleaseInterface(point);
    point = nullptr;
    return false;
}
