// IOPCBrowseServerAddressSpace of the server object: a flat address space of the scenario's items.
#include "opcsim/server_object.h"

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/enum_string.h"
#include "opcsim/text_util.h"

namespace {

ServerObject* Self(IOPCBrowseServerAddressSpace* iface)
{
    return OwnerOf<ServerObject>(iface);
}

// '*' any run, '?' one character; an empty filter takes everything.
bool MatchFilter(const wchar_t* filter, const wchar_t* text)
{
    if (*filter == L'\0') return *text == L'\0';
    if (*filter == L'*')
        return MatchFilter(filter + 1, text) || (*text != L'\0' && MatchFilter(filter, text + 1));
    if (*text == L'\0') return false;
    return (*filter == L'?' || *filter == *text) && MatchFilter(filter + 1, text + 1);
}

HRESULT STDMETHODCALLTYPE Browse_QueryOrganization(IOPCBrowseServerAddressSpace*,
                                                   OPCNAMESPACETYPE* pNameSpaceType)
{
    if (pNameSpaceType == nullptr) return E_INVALIDARG;
    *pNameSpaceType = OPC_NS_FLAT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Browse_ChangeBrowsePosition(IOPCBrowseServerAddressSpace*, OPCBROWSEDIRECTION,
                                                      LPCWSTR)
{
    return E_FAIL; // a flat space has no positions
}

HRESULT STDMETHODCALLTYPE Browse_BrowseOPCItemIDs(IOPCBrowseServerAddressSpace* iface,
                                                  OPCBROWSETYPE dwBrowseFilterType, LPCWSTR szFilterCriteria,
                                                  VARTYPE vtDataTypeFilter, DWORD dwAccessRightsFilter,
                                                  LPENUMSTRING* ppIEnumString)
{
    ServerObject* self = Self(iface);
    SimProcess& sim = *self->sim;
    if (ppIEnumString != nullptr) *ppIEnumString = nullptr;
    CallGate gate = EnterCall(sim, SimMethod::Browse);
    HRESULT hr = gate.forced;
    std::vector<std::wstring> found;
    if (SUCCEEDED(hr) && ppIEnumString == nullptr) hr = E_INVALIDARG;
    if (SUCCEEDED(hr) && dwBrowseFilterType != OPC_BRANCH) {
        const wchar_t* filter =
            szFilterCriteria != nullptr && *szFilterCriteria != L'\0' ? szFilterCriteria : L"*";
        for (const SimItem& item : sim.scenario.items) {
            VARTYPE vt = item.type.bounds.empty() ? item.type.element
                                                  : static_cast<VARTYPE>(VT_ARRAY | item.type.element);
            bool typeOk = vtDataTypeFilter == VT_EMPTY || vtDataTypeFilter == vt;
            bool rightsOk = (item.access & dwAccessRightsFilter) == dwAccessRightsFilter;
            if (typeOk && rightsOk && MatchFilter(filter, item.itemId.c_str())) found.push_back(item.itemId);
        }
    }
    if (SUCCEEDED(hr)) hr = CreateEnumString(sim, found, ppIEnumString);
    if (SUCCEEDED(hr)) hr = LeaveCall(sim, SimMethod::Browse, gate, found.empty() ? S_FALSE : S_OK);
    LogCall(sim, SimMethod::Browse,
            "type=" + std::to_string(dwBrowseFilterType) + " count=" + std::to_string(found.size()), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Browse_GetItemID(IOPCBrowseServerAddressSpace* iface, LPWSTR szItemDataID,
                                           LPWSTR* szItemID)
{
    if (szItemID == nullptr) return E_INVALIDARG;
    *szItemID = nullptr;
    if (FindItem(Self(iface)->sim->space, szItemDataID) < 0) return E_INVALIDARG;
    return CopyOutString(szItemDataID, szItemID); // flat: the leaf name is the ItemId
}

HRESULT STDMETHODCALLTYPE Browse_BrowseAccessPaths(IOPCBrowseServerAddressSpace*, LPCWSTR,
                                                   LPENUMSTRING* ppIEnumString)
{
    if (ppIEnumString != nullptr) *ppIEnumString = nullptr;
    return E_NOTIMPL;
}

} // namespace

const IOPCBrowseServerAddressSpaceVtbl kBrowseVtbl = {
    FacetQueryInterface<IOPCBrowseServerAddressSpace, ServerObject>,
    FacetAddRef<IOPCBrowseServerAddressSpace, ServerObject>,
    FacetRelease<IOPCBrowseServerAddressSpace, ServerObject>,
    Browse_QueryOrganization,
    Browse_ChangeBrowsePosition,
    Browse_BrowseOPCItemIDs,
    Browse_GetItemID,
    Browse_BrowseAccessPaths,
};
