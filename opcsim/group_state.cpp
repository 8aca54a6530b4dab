// IOPCGroupStateMgt of a group.
#include "opcsim/group.h"

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/server_object.h"
#include "opcsim/subscription.h"
#include "opcsim/text_util.h"

namespace {

Group* Self(IOPCGroupStateMgt* iface)
{
    return OwnerOf<Group>(iface);
}

HRESULT STDMETHODCALLTYPE State_GetState(IOPCGroupStateMgt* iface, DWORD* pUpdateRate, BOOL* pActive,
                                         LPWSTR* ppName, LONG* pTimeBias, FLOAT* pPercentDeadband,
                                         DWORD* pLCID, OPCHANDLE* phClientGroup, OPCHANDLE* phServerGroup)
{
    Group* g = Self(iface);
    if (ppName != nullptr) *ppName = nullptr;
    CallGate gate = EnterCall(*g->sim, SimMethod::GetState);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) && (pUpdateRate == nullptr || pActive == nullptr || ppName == nullptr ||
                          pTimeBias == nullptr || pPercentDeadband == nullptr || pLCID == nullptr ||
                          phClientGroup == nullptr || phServerGroup == nullptr))
        hr = E_INVALIDARG;
    if (SUCCEEDED(hr)) hr = CopyOutString(g->name, ppName);
    if (SUCCEEDED(hr)) {
        *pUpdateRate = g->updateRate;
        *pActive = g->active ? TRUE : FALSE;
        *pTimeBias = g->timeBias;
        *pPercentDeadband = g->deadband;
        *pLCID = g->lcid;
        *phClientGroup = g->hClientGroup;
        *phServerGroup = g->hServerGroup;
        hr = LeaveCall(*g->sim, SimMethod::GetState, gate, S_OK);
    }
    LogCall(*g->sim, SimMethod::GetState, GroupText(*g), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE State_SetState(IOPCGroupStateMgt* iface, DWORD* pRequestedUpdateRate,
                                         DWORD* pRevisedUpdateRate, BOOL* pActive, LONG* pTimeBias,
                                         FLOAT* pPercentDeadband, DWORD* pLCID, OPCHANDLE* phClientGroup)
{
    Group* g = Self(iface);
    CallGate gate = EnterCall(*g->sim, SimMethod::SetState);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) &&
        (pRevisedUpdateRate == nullptr ||
         (pPercentDeadband != nullptr && (*pPercentDeadband < 0 || *pPercentDeadband > 100))))
        hr = E_INVALIDARG;
    if (SUCCEEDED(hr)) {
        hr = pRequestedUpdateRate != nullptr ? ReviseRate(*g->sim, *pRequestedUpdateRate, g->updateRate)
                                             : S_OK;
        if (pActive != nullptr && *pActive != FALSE && !g->active) ForgetSentValues(*g); // seen nothing since
        if (pActive != nullptr) g->active = *pActive != FALSE;
        if (pTimeBias != nullptr) g->timeBias = *pTimeBias;
        if (pPercentDeadband != nullptr) g->deadband = *pPercentDeadband;
        if (pLCID != nullptr) g->lcid = *pLCID;
        if (phClientGroup != nullptr) g->hClientGroup = *phClientGroup;
        *pRevisedUpdateRate = g->updateRate;
        ScheduleUpdates(*g);
        hr = LeaveCall(*g->sim, SimMethod::SetState, gate, hr);
    }
    LogCall(*g->sim, SimMethod::SetState,
            GroupText(*g) + " active=" + std::to_string(g->active) + " rate=" + std::to_string(g->updateRate),
            hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE State_SetName(IOPCGroupStateMgt* iface, LPCWSTR szName)
{
    Group* g = Self(iface);
    CallGate gate = EnterCall(*g->sim, SimMethod::SetName);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        std::wstring name = szName != nullptr ? szName : L"";
        Group* other = FindGroupByName(*g->server, name);
        hr = name.empty() ? E_INVALIDARG : other != nullptr && other != g ? OPC_E_DUPLICATENAME : S_OK;
        if (SUCCEEDED(hr)) {
            g->name = name;
            hr = LeaveCall(*g->sim, SimMethod::SetName, gate, hr);
        }
    }
    LogCall(*g->sim, SimMethod::SetName, GroupText(*g), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE State_CloneGroup(IOPCGroupStateMgt*, LPCWSTR, REFIID, LPUNKNOWN* ppUnk)
{
    if (ppUnk != nullptr) *ppUnk = nullptr;
    return E_NOTIMPL;
}

} // namespace

const IOPCGroupStateMgtVtbl kStateMgtVtbl = {
    FacetQueryInterface<IOPCGroupStateMgt, Group>,
    FacetAddRef<IOPCGroupStateMgt, Group>,
    FacetRelease<IOPCGroupStateMgt, Group>,
    State_GetState,
    State_SetState,
    State_SetName,
    State_CloneGroup,
};
