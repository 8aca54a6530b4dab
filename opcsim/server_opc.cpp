// IOPCServer of the server object.
#include "opcsim/server_object.h"

#include <cstdio>

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/date_text.h"
#include "opcsim/group.h"
#include "opcsim/text_util.h"

namespace {

ServerObject* Self(IOPCServer* iface)
{
    return OwnerOf<ServerObject>(iface);
}

// The state the scenario's status sequence gives for this call (steps count from the object's creation).
DWORD CurrentState(ServerObject& self)
{
    const std::vector<StatusStep>& steps = self.sim->scenario.status;
    if (steps.empty()) return OPC_STATUS_RUNNING;
    ULONGLONG now = GetTickCount64();
    DWORD call = ++self.statusCalls;
    while (self.statusStep + 1 < steps.size()) {
        const StatusStep& step = steps[self.statusStep];
        if (step.inCalls ? call - self.stepStartCall <= step.length : now - self.stepStartTick < step.length)
            break;
        if (step.inCalls) {
            self.stepStartCall += step.length;
            self.stepStartTick = now;
        } else {
            self.stepStartTick += step.length;
            self.stepStartCall = call - 1;
        }
        ++self.statusStep;
    }
    return steps[self.statusStep].state;
}

HRESULT STDMETHODCALLTYPE Server_AddGroup(IOPCServer* iface, LPCWSTR szName, BOOL bActive,
                                          DWORD dwRequestedUpdateRate, OPCHANDLE hClientGroup,
                                          LONG* pTimeBias, FLOAT* pPercentDeadband, DWORD dwLCID,
                                          OPCHANDLE* phServerGroup, DWORD* pRevisedUpdateRate, REFIID riid,
                                          LPUNKNOWN* ppUnk)
{
    ServerObject* self = Self(iface);
    SimProcess& sim = *self->sim;
    if (phServerGroup != nullptr) *phServerGroup = 0;
    if (pRevisedUpdateRate != nullptr) *pRevisedUpdateRate = 0;
    if (ppUnk != nullptr) *ppUnk = nullptr;
    GroupSettings settings;
    settings.name = szName != nullptr ? szName : L"";
    settings.active = bActive != FALSE;
    settings.hClientGroup = hClientGroup;
    settings.timeBias = pTimeBias != nullptr ? *pTimeBias : 0;
    settings.deadband = pPercentDeadband != nullptr ? *pPercentDeadband : 0.0f;
    settings.lcid = dwLCID;
    CallGate gate = EnterCall(sim, SimMethod::AddGroup);
    HRESULT hr = gate.forced;
    Group* group = nullptr;
    if (SUCCEEDED(hr)) {
        if (phServerGroup == nullptr || pRevisedUpdateRate == nullptr || ppUnk == nullptr)
            hr = E_INVALIDARG;
        else if (settings.deadband < 0 || settings.deadband > 100)
            hr = E_INVALIDARG;
        else if (!settings.name.empty() && FindGroupByName(*self, settings.name) != nullptr)
            hr = OPC_E_DUPLICATENAME;
        else
            hr = ReviseRate(sim, dwRequestedUpdateRate, settings.updateRate);
    }
    if (SUCCEEDED(hr)) {
        if (settings.name.empty()) settings.name = L"Group" + std::to_wstring(self->nextGroupHandle);
        group = CreateGroup(*self, settings);
        HRESULT qi =
            group == nullptr ? E_OUTOFMEMORY : QueryOwner(group, riid, reinterpret_cast<void**>(ppUnk));
        if (SUCCEEDED(qi)) {
            *phServerGroup = group->hServerGroup;
            *pRevisedUpdateRate = group->updateRate;
            hr = LeaveCall(sim, SimMethod::AddGroup, gate, hr);
        } else {
            hr = qi;
        }
        if (group != nullptr) ReleaseOwner(group); // the client's reference (if any) keeps it
    }
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "0x%04lX", static_cast<unsigned long>(dwLCID));
    LogCall(
        sim, SimMethod::AddGroup,
        "name=" + QuoteIfNeeded(Utf8FromWide(settings.name)) + " active=" + std::to_string(bActive) +
            " rate=" + std::to_string(dwRequestedUpdateRate) +
            " revised=" + std::to_string(settings.updateRate) + " client=" + std::to_string(hClientGroup) +
            " bias=" + (pTimeBias ? std::to_string(*pTimeBias) : std::string("none")) + " deadband=" +
            (pPercentDeadband ? FormatReal(*pPercentDeadband, true) : std::string("none")) + " lcid=" + lcid,
        hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Server_GetErrorString(IOPCServer* iface, HRESULT dwError, LCID, LPWSTR* ppString)
{
    return GetErrorStringCall(*Self(iface)->sim, dwError, ppString);
}

HRESULT STDMETHODCALLTYPE Server_GetGroupByName(IOPCServer* iface, LPCWSTR szName, REFIID riid,
                                                LPUNKNOWN* ppUnk)
{
    ServerObject* self = Self(iface);
    SimProcess& sim = *self->sim;
    if (ppUnk != nullptr) *ppUnk = nullptr;
    CallGate gate = EnterCall(sim, SimMethod::GetGroupByName);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        Group* group = szName != nullptr && ppUnk != nullptr ? FindGroupByName(*self, szName) : nullptr;
        hr = group == nullptr ? E_INVALIDARG : QueryOwner(group, riid, reinterpret_cast<void**>(ppUnk));
        if (SUCCEEDED(hr)) hr = LeaveCall(sim, SimMethod::GetGroupByName, gate, hr);
    }
    LogCall(sim, SimMethod::GetGroupByName, "name=" + QuoteIfNeeded(Utf8FromWide(szName ? szName : L"")), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Server_GetStatus(IOPCServer* iface, OPCSERVERSTATUS** ppServerStatus)
{
    ServerObject* self = Self(iface);
    SimProcess& sim = *self->sim;
    if (ppServerStatus != nullptr) *ppServerStatus = nullptr;
    CallGate gate = EnterCall(sim, SimMethod::GetStatus);
    HRESULT hr = gate.forced;
    DWORD state = CurrentState(*self);
    if (SUCCEEDED(hr) && ppServerStatus == nullptr) hr = E_INVALIDARG;
    if (SUCCEEDED(hr)) {
        OPCSERVERSTATUS* status = TaskArray<OPCSERVERSTATUS>(1);
        hr = status == nullptr ? E_OUTOFMEMORY : CopyOutString(sim.scenario.vendor, &status->szVendorInfo);
        if (FAILED(hr)) {
            CoTaskMemFree(status);
        } else {
            status->ftStartTime = self->startTime;
            status->ftCurrentTime = FileTimeNow();
            status->ftLastUpdateTime = status->ftCurrentTime;
            status->dwServerState = static_cast<OPCSERVERSTATE>(state);
            status->dwGroupCount = static_cast<DWORD>(self->groups.size());
            status->dwBandWidth = 0xFFFFFFFF; // unknown
            status->wMajorVersion = 2;
            status->wMinorVersion = 0;
            status->wBuildNumber = 1;
            *ppServerStatus = status;
            hr = LeaveCall(sim, SimMethod::GetStatus, gate, S_OK);
        }
    }
    LogCall(sim, SimMethod::GetStatus, "state=" + std::to_string(state), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Server_RemoveGroup(IOPCServer* iface, OPCHANDLE hServerGroup, BOOL bForce)
{
    ServerObject* self = Self(iface);
    SimProcess& sim = *self->sim;
    CallGate gate = EnterCall(sim, SimMethod::RemoveGroup);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        hr = E_INVALIDARG;
        for (size_t i = 0; i < self->groups.size(); ++i) {
            if (self->groups[i]->hServerGroup != hServerGroup) continue;
            // The group lives on while the client holds it; without force the server says so.
            hr = bForce ? S_OK : OPC_S_INUSE;
            self->groups.erase(self->groups.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
        if (SUCCEEDED(hr)) hr = LeaveCall(sim, SimMethod::RemoveGroup, gate, hr);
    }
    LogCall(sim, SimMethod::RemoveGroup,
            "handle=" + std::to_string(hServerGroup) + " force=" + std::to_string(bForce), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Server_CreateGroupEnumerator(IOPCServer*, OPCENUMSCOPE, REFIID, LPUNKNOWN* ppUnk)
{
    if (ppUnk != nullptr) *ppUnk = nullptr;
    return E_NOTIMPL;
}

} // namespace

const IOPCServerVtbl kServerVtbl = {
    FacetQueryInterface<IOPCServer, ServerObject>,
    FacetAddRef<IOPCServer, ServerObject>,
    FacetRelease<IOPCServer, ServerObject>,
    Server_AddGroup,
    Server_GetErrorString,
    Server_GetGroupByName,
    Server_GetStatus,
    Server_RemoveGroup,
    Server_CreateGroupEnumerator,
};

Group* FindGroupByName(const ServerObject& server, const std::wstring& name)
{
    for (Group* group : server.groups) {
        if (group->name == name) return group;
    }
    return nullptr;
}
