// IOPCItemMgt of a group.
#include "opcsim/group.h"

#include <functional>

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/text_util.h"

namespace {

Group* Self(IOPCItemMgt* iface)
{
    return OwnerOf<Group>(iface);
}

// Whether the definition names an item this group can deliver: S_OK or the item's error.
HRESULT CheckDefinition(Group& g, SimMethod method, const OPCITEMDEF& def, int& index)
{
    index = FindItem(g.sim->space, def.szItemID);
    if (index < 0) return OPC_E_UNKNOWNITEMID;
    HRESULT forced = ItemError(*g.sim, method, def.szItemID);
    if (forced != S_OK) return forced;
    if (def.vtRequestedDataType == VT_EMPTY) return S_OK;
    VARIANT probe;
    HRESULT hr = ConvertValue(g.sim->space.items[static_cast<size_t>(index)].value, def.vtRequestedDataType,
                              g.lcid, probe);
    VariantClear(&probe);
    return FAILED(hr) ? OPC_E_BADTYPE : S_OK;
}

// AddItems and ValidateItems: per-item results; `add` also makes the items part of the group.
HRESULT DefineItems(Group* g, SimMethod method, DWORD dwCount, OPCITEMDEF* pItemArray,
                    OPCITEMRESULT** ppResults, HRESULT** ppErrors, bool add)
{
    if (ppResults != nullptr) *ppResults = nullptr;
    if (ppErrors != nullptr) *ppErrors = nullptr;
    SimProcess& sim = *g->sim;
    CallGate gate = EnterCall(sim, method);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) &&
        (dwCount == 0 || pItemArray == nullptr || ppResults == nullptr || ppErrors == nullptr))
        hr = E_INVALIDARG;
    OPCITEMRESULT* results = SUCCEEDED(hr) ? TaskArray<OPCITEMRESULT>(dwCount) : nullptr;
    HRESULT* errors = SUCCEEDED(hr) ? TaskArray<HRESULT>(dwCount) : nullptr;
    if (SUCCEEDED(hr) && (results == nullptr || errors == nullptr)) hr = E_OUTOFMEMORY;
    for (DWORD i = 0; SUCCEEDED(hr) && i < dwCount; ++i) {
        const OPCITEMDEF& def = pItemArray[i];
        int index = -1;
        errors[i] = CheckDefinition(*g, method, def, index);
        if (SUCCEEDED(errors[i])) { // success codes other than S_OK still add the item, as some servers do
            const SimItem& item = *sim.space.items[static_cast<size_t>(index)].def;
            results[i].vtCanonicalDataType = V_VT(&item.initial);
            results[i].dwAccessRights = item.access;
            if (add) {
                GroupItem gi;
                gi.hServer = g->nextItemHandle++;
                gi.hClient = def.hClient;
                gi.index = static_cast<size_t>(index);
                gi.active = def.bActive != FALSE;
                gi.requested = def.vtRequestedDataType;
                g->items.push_back(gi);
                results[i].hServer = gi.hServer;
            }
        }
        if (add) {
            WriteSimLog(
                sim.log,
                "additem " + QuoteIfNeeded(Utf8FromWide(def.szItemID ? def.szItemID : L"")) +
                    " path=" + Quote(Utf8FromWide(def.szAccessPath ? def.szAccessPath : L"")) +
                    " active=" + std::to_string(def.bActive) + " client=" + std::to_string(def.hClient) +
                    " requested=" + std::to_string(def.vtRequestedDataType) + " hr=" + HexHResult(errors[i]));
        }
    }
    if (SUCCEEDED(hr)) {
        HRESULT overall = S_OK;
        for (DWORD i = 0; i < dwCount; ++i)
            overall = errors[i] != S_OK ? S_FALSE : overall;
        *ppResults = results;
        *ppErrors = errors;
        hr = LeaveCall(sim, method, gate, overall);
    } else {
        CoTaskMemFree(results);
        CoTaskMemFree(errors);
    }
    LogCall(sim, method, GroupText(*g) + " count=" + std::to_string(dwCount), hr);
    return hr;
}

// The calls that take server handles and return one error per handle.
HRESULT HandleCall(Group* g, SimMethod method, DWORD dwCount, const OPCHANDLE* phServer, HRESULT** ppErrors,
                   const std::function<HRESULT(GroupItem&, DWORD)>& op)
{
    if (ppErrors != nullptr) *ppErrors = nullptr;
    CallGate gate = EnterCall(*g->sim, method);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) && (dwCount == 0 || phServer == nullptr || ppErrors == nullptr)) hr = E_INVALIDARG;
    HRESULT* errors = SUCCEEDED(hr) ? TaskArray<HRESULT>(dwCount) : nullptr;
    if (SUCCEEDED(hr) && errors == nullptr) hr = E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) {
        HRESULT overall = S_OK;
        for (DWORD i = 0; i < dwCount; ++i) {
            GroupItem* item = FindGroupItem(*g, phServer[i]);
            errors[i] = item == nullptr ? OPC_E_INVALIDHANDLE : op(*item, i);
            overall = errors[i] != S_OK ? S_FALSE : overall;
        }
        *ppErrors = errors;
        hr = LeaveCall(*g->sim, method, gate, overall);
    }
    LogCall(*g->sim, method, GroupText(*g) + " count=" + std::to_string(dwCount), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Items_AddItems(IOPCItemMgt* iface, DWORD dwCount, OPCITEMDEF* pItemArray,
                                         OPCITEMRESULT** ppAddResults, HRESULT** ppErrors)
{
    return DefineItems(Self(iface), SimMethod::AddItems, dwCount, pItemArray, ppAddResults, ppErrors, true);
}

HRESULT STDMETHODCALLTYPE Items_ValidateItems(IOPCItemMgt* iface, DWORD dwCount, OPCITEMDEF* pItemArray, BOOL,
                                              OPCITEMRESULT** ppValidationResults, HRESULT** ppErrors)
{
    return DefineItems(Self(iface), SimMethod::ValidateItems, dwCount, pItemArray, ppValidationResults,
                       ppErrors, false);
}

HRESULT STDMETHODCALLTYPE Items_RemoveItems(IOPCItemMgt* iface, DWORD dwCount, OPCHANDLE* phServer,
                                            HRESULT** ppErrors)
{
    Group* g = Self(iface);
    std::vector<OPCHANDLE> removed;
    HRESULT hr = HandleCall(g, SimMethod::RemoveItems, dwCount, phServer, ppErrors,
                            [&removed](GroupItem& item, DWORD) {
                                removed.push_back(item.hServer);
                                return S_OK;
                            });
    for (OPCHANDLE h : removed) {
        for (size_t i = 0; i < g->items.size(); ++i) {
            if (g->items[i].hServer == h) g->items.erase(g->items.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE Items_SetActiveState(IOPCItemMgt* iface, DWORD dwCount, OPCHANDLE* phServer,
                                               BOOL bActive, HRESULT** ppErrors)
{
    return HandleCall(Self(iface), SimMethod::SetActiveState, dwCount, phServer, ppErrors,
                      [bActive](GroupItem& item, DWORD) {
                          if (bActive != FALSE && !item.active) item.sentVersion = 0; // seen nothing since
                          item.active = bActive != FALSE;
                          return S_OK;
                      });
}

HRESULT STDMETHODCALLTYPE Items_SetClientHandles(IOPCItemMgt* iface, DWORD dwCount, OPCHANDLE* phServer,
                                                 OPCHANDLE* phClient, HRESULT** ppErrors)
{
    if (phClient == nullptr) phServer = nullptr; // both arrays are needed
    return HandleCall(Self(iface), SimMethod::SetClientHandles, dwCount, phServer, ppErrors,
                      [phClient](GroupItem& item, DWORD i) {
                          item.hClient = phClient[i];
                          return S_OK;
                      });
}

HRESULT STDMETHODCALLTYPE Items_SetDatatypes(IOPCItemMgt* iface, DWORD dwCount, OPCHANDLE* phServer,
                                             VARTYPE* pRequestedDatatypes, HRESULT** ppErrors)
{
    Group* g = Self(iface);
    if (pRequestedDatatypes == nullptr) phServer = nullptr;
    return HandleCall(g, SimMethod::SetDatatypes, dwCount, phServer, ppErrors,
                      [g, pRequestedDatatypes](GroupItem& item, DWORD i) {
                          VARIANT probe;
                          HRESULT hr = ConvertValue(g->sim->space.items[item.index].value,
                                                    pRequestedDatatypes[i], g->lcid, probe);
                          VariantClear(&probe);
                          if (FAILED(hr)) return OPC_E_BADTYPE;
                          item.requested = pRequestedDatatypes[i];
                          return S_OK;
                      });
}

HRESULT STDMETHODCALLTYPE Items_CreateEnumerator(IOPCItemMgt*, REFIID, LPUNKNOWN* ppUnk)
{
    if (ppUnk != nullptr) *ppUnk = nullptr;
    return E_NOTIMPL;
}

} // namespace

const IOPCItemMgtVtbl kItemMgtVtbl = {
    FacetQueryInterface<IOPCItemMgt, Group>,
    FacetAddRef<IOPCItemMgt, Group>,
    FacetRelease<IOPCItemMgt, Group>,
    Items_AddItems,
    Items_ValidateItems,
    Items_RemoveItems,
    Items_SetActiveState,
    Items_SetClientHandles,
    Items_SetDatatypes,
    Items_CreateEnumerator,
};
