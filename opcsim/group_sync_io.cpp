// IOPCSyncIO of a group.
#include "opcsim/group.h"

#include "opcsim/behaviour.h"
#include "opcsim/group_io.h"

namespace {

Group* Self(IOPCSyncIO* iface)
{
    return OwnerOf<Group>(iface);
}

HRESULT STDMETHODCALLTYPE Sync_Read(IOPCSyncIO* iface, OPCDATASOURCE dwSource, DWORD dwCount,
                                    OPCHANDLE* phServer, OPCITEMSTATE** ppItemValues, HRESULT** ppErrors)
{
    Group* g = Self(iface);
    if (ppItemValues != nullptr) *ppItemValues = nullptr;
    if (ppErrors != nullptr) *ppErrors = nullptr;
    CallGate gate = EnterCall(*g->sim, SimMethod::SyncRead);
    HRESULT hr = gate.forced;
    bool device = dwSource == OPC_DS_DEVICE;
    if (SUCCEEDED(hr) && (dwCount == 0 || phServer == nullptr || ppItemValues == nullptr ||
                          ppErrors == nullptr || (dwSource != OPC_DS_CACHE && !device)))
        hr = E_INVALIDARG;
    OPCITEMSTATE* states = SUCCEEDED(hr) ? TaskArray<OPCITEMSTATE>(dwCount) : nullptr;
    HRESULT* errors = SUCCEEDED(hr) ? TaskArray<HRESULT>(dwCount) : nullptr;
    if (SUCCEEDED(hr) && (states == nullptr || errors == nullptr)) hr = E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) {
        HRESULT overall = S_OK;
        for (DWORD i = 0; i < dwCount; ++i) {
            OPCITEMSTATE& s = states[i];
            errors[i] = ReadGroupItem(*g, SimMethod::SyncRead, phServer[i], device, s.vDataValue, s.wQuality,
                                      s.ftTimeStamp, s.hClient);
            overall = errors[i] != S_OK ? S_FALSE : overall;
        }
        *ppItemValues = states;
        *ppErrors = errors;
        hr = LeaveCall(*g->sim, SimMethod::SyncRead, gate, overall);
    } else {
        CoTaskMemFree(states);
        CoTaskMemFree(errors);
    }
    LogCall(*g->sim, SimMethod::SyncRead,
            GroupText(*g) + " source=" +
                (device                     ? "device"
                 : dwSource == OPC_DS_CACHE ? "cache"
                                            : "?") +
                " count=" + std::to_string(dwCount),
            hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Sync_Write(IOPCSyncIO* iface, DWORD dwCount, OPCHANDLE* phServer,
                                     VARIANT* pItemValues, HRESULT** ppErrors)
{
    Group* g = Self(iface);
    if (ppErrors != nullptr) *ppErrors = nullptr;
    CallGate gate = EnterCall(*g->sim, SimMethod::SyncWrite);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) &&
        (dwCount == 0 || phServer == nullptr || pItemValues == nullptr || ppErrors == nullptr))
        hr = E_INVALIDARG;
    HRESULT* errors = SUCCEEDED(hr) ? TaskArray<HRESULT>(dwCount) : nullptr;
    if (SUCCEEDED(hr) && errors == nullptr) hr = E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) {
        HRESULT overall = S_OK;
        for (DWORD i = 0; i < dwCount; ++i) {
            OPCHANDLE client = 0;
            errors[i] = WriteGroupItem(*g, SimMethod::SyncWrite, phServer[i], pItemValues[i], client);
            overall = errors[i] != S_OK ? S_FALSE : overall;
        }
        *ppErrors = errors;
        hr = LeaveCall(*g->sim, SimMethod::SyncWrite, gate, overall);
    }
    LogCall(*g->sim, SimMethod::SyncWrite, GroupText(*g) + " count=" + std::to_string(dwCount), hr);
    return hr;
}

} // namespace

const IOPCSyncIOVtbl kSyncIoVtbl = {
    FacetQueryInterface<IOPCSyncIO, Group>,
    FacetAddRef<IOPCSyncIO, Group>,
    FacetRelease<IOPCSyncIO, Group>,
    Sync_Read,
    Sync_Write,
};
