// IOPCAsyncIO2 of a group: the items are read or written when the call comes, and the results go
// to the advised IOPCDataCallback as the scenario's delivery mode says.
#include "opcsim/group.h"

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/completions.h"
#include "opcsim/group_io.h"
#include "opcsim/subscription.h"

namespace {

Group* Self(IOPCAsyncIO2* iface)
{
    return OwnerOf<Group>(iface);
}

// The common frame of Read and Write: checks, the per-item issue errors, the completion and the log.
struct AsyncCall {
    Group* g;
    SimMethod method;
    SimMethod callback;
    CallGate gate{};
    HRESULT hr = S_OK;
    HRESULT* errors = nullptr;
    Completion* completion = nullptr;
};

bool BeginAsync(AsyncCall& call, DWORD dwCount, const OPCHANDLE* phServer, DWORD transId, DWORD* pdwCancelID,
                HRESULT** ppErrors)
{
    if (pdwCancelID != nullptr) *pdwCancelID = 0;
    if (ppErrors != nullptr) *ppErrors = nullptr;
    call.gate = EnterCall(*call.g->sim, call.method);
    call.hr = call.gate.forced;
    if (SUCCEEDED(call.hr) && !HasDataSink(*call.g)) call.hr = CONNECT_E_NOCONNECTION;
    if (SUCCEEDED(call.hr) &&
        (dwCount == 0 || phServer == nullptr || pdwCancelID == nullptr || ppErrors == nullptr))
        call.hr = E_INVALIDARG;
    if (SUCCEEDED(call.hr)) {
        call.errors = TaskArray<HRESULT>(dwCount);
        call.completion = NewCompletion(*call.g, call.callback, transId);
        if (call.errors == nullptr || call.completion == nullptr) call.hr = E_OUTOFMEMORY;
    }
    return SUCCEEDED(call.hr);
}

HRESULT EndAsync(AsyncCall& call, DWORD dwCount, DWORD transId, DWORD* pdwCancelID, HRESULT** ppErrors)
{
    if (SUCCEEDED(call.hr)) {
        HRESULT overall = S_OK;
        for (DWORD i = 0; i < dwCount; ++i)
            overall = call.errors[i] != S_OK ? S_FALSE : overall;
        *ppErrors = call.errors;
        call.errors = nullptr;
        call.hr = LeaveCall(*call.g->sim, call.method, call.gate, overall);
        if (call.completion->clients.empty()) {
            FreeCompletion(call.completion); // nothing was accepted: no callback follows
        } else {
            *pdwCancelID = call.completion->cancelId;
            DeliverCompletion(*call.g->sim, call.completion);
            call.completion = nullptr;
        }
    }
    CoTaskMemFree(call.errors);
    FreeCompletion(call.completion);
    LogCall(*call.g->sim, call.method,
            GroupText(*call.g) + " transid=" + std::to_string(transId) + " count=" + std::to_string(dwCount),
            call.hr);
    return call.hr;
}

// Issue errors: an unknown handle, or the scenario's item error for the call.
HRESULT IssueError(Group& g, SimMethod method, OPCHANDLE hServer)
{
    return FindGroupItem(g, hServer) == nullptr ? OPC_E_INVALIDHANDLE : GroupItemError(g, method, hServer);
}

HRESULT STDMETHODCALLTYPE Async_Read(IOPCAsyncIO2* iface, DWORD dwCount, OPCHANDLE* phServer,
                                     DWORD dwTransactionID, DWORD* pdwCancelID, HRESULT** ppErrors)
{
    AsyncCall call{Self(iface), SimMethod::AsyncRead, SimMethod::OnReadComplete};
    if (BeginAsync(call, dwCount, phServer, dwTransactionID, pdwCancelID, ppErrors)) {
        Completion& c = *call.completion;
        for (DWORD i = 0; i < dwCount; ++i) {
            call.errors[i] = IssueError(*call.g, SimMethod::AsyncRead, phServer[i]);
            if (FAILED(call.errors[i])) continue;
            VARIANT value;
            WORD quality = 0;
            FILETIME time{};
            OPCHANDLE client = 0;
            HRESULT error = ReadGroupItem(*call.g, SimMethod::OnReadComplete, phServer[i], true, value,
                                          quality, time, client);
            AddReadResult(c, client, value, quality, time, error);
        }
    }
    return EndAsync(call, dwCount, dwTransactionID, pdwCancelID, ppErrors);
}

HRESULT STDMETHODCALLTYPE Async_Write(IOPCAsyncIO2* iface, DWORD dwCount, OPCHANDLE* phServer,
                                      VARIANT* pItemValues, DWORD dwTransactionID, DWORD* pdwCancelID,
                                      HRESULT** ppErrors)
{
    AsyncCall call{Self(iface), SimMethod::AsyncWrite, SimMethod::OnWriteComplete};
    if (pItemValues == nullptr) phServer = nullptr; // both arrays are needed
    if (BeginAsync(call, dwCount, phServer, dwTransactionID, pdwCancelID, ppErrors)) {
        Completion& c = *call.completion;
        for (DWORD i = 0; i < dwCount; ++i) {
            call.errors[i] = IssueError(*call.g, SimMethod::AsyncWrite, phServer[i]);
            if (FAILED(call.errors[i])) continue;
            OPCHANDLE client = 0;
            HRESULT error =
                WriteGroupItem(*call.g, SimMethod::OnWriteComplete, phServer[i], pItemValues[i], client);
            c.clients.push_back(client);
            c.errors.push_back(error);
        }
    }
    return EndAsync(call, dwCount, dwTransactionID, pdwCancelID, ppErrors);
}

HRESULT STDMETHODCALLTYPE Async_Refresh2(IOPCAsyncIO2* iface, OPCDATASOURCE dwSource, DWORD dwTransactionID,
                                         DWORD* pdwCancelID)
{
    Group* g = Self(iface);
    if (pdwCancelID != nullptr) *pdwCancelID = 0;
    CallGate gate = EnterCall(*g->sim, SimMethod::Refresh2);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) && !HasDataSink(*g)) hr = CONNECT_E_NOCONNECTION;
    if (SUCCEEDED(hr) && (pdwCancelID == nullptr || (dwSource != OPC_DS_CACHE && dwSource != OPC_DS_DEVICE)))
        hr = E_INVALIDARG;
    Completion* c = SUCCEEDED(hr) ? NewCompletion(*g, SimMethod::OnDataChange, dwTransactionID) : nullptr;
    if (SUCCEEDED(hr) && c == nullptr) hr = E_OUTOFMEMORY;
    for (size_t i = 0; SUCCEEDED(hr) && g->active && i < g->items.size(); ++i) {
        if (!g->items[i].active) continue;
        VARIANT value;
        WORD quality = 0;
        FILETIME time{};
        OPCHANDLE client = 0;
        HRESULT error = ReadGroupItem(*g, SimMethod::Refresh2, g->items[i].hServer, dwSource == OPC_DS_DEVICE,
                                      value, quality, time, client);
        AddReadResult(*c, client, value, quality, time, error);
    }
    if (SUCCEEDED(hr) && c->clients.empty()) hr = E_FAIL; // an inactive group, or no active item
    if (SUCCEEDED(hr)) {
        *pdwCancelID = c->cancelId;
        hr = LeaveCall(*g->sim, SimMethod::Refresh2, gate, S_OK);
        DeliverCompletion(*g->sim, c);
        c = nullptr;
    }
    FreeCompletion(c);
    LogCall(*g->sim, SimMethod::Refresh2,
            GroupText(*g) + " source=" + std::to_string(dwSource) +
                " transid=" + std::to_string(dwTransactionID),
            hr);
    return hr;
}

// Cancel2, SetEnable and GetEnable: the frame of a call without items.
HRESULT SimpleAsyncCall(Group* g, SimMethod method, HRESULT (*work)(Group&, void*), void* arg)
{
    CallGate gate = EnterCall(*g->sim, method);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr) && !HasDataSink(*g)) hr = CONNECT_E_NOCONNECTION;
    if (SUCCEEDED(hr)) hr = work(*g, arg);
    if (SUCCEEDED(hr)) hr = LeaveCall(*g->sim, method, gate, hr);
    LogCall(*g->sim, method, GroupText(*g), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Async_Cancel2(IOPCAsyncIO2* iface, DWORD dwCancelID)
{
    return SimpleAsyncCall(
        Self(iface), SimMethod::Cancel2,
        [](Group& g, void* arg) {
            return CancelCompletion(*g.sim, g, *static_cast<DWORD*>(arg)) ? S_OK : E_FAIL;
        },
        &dwCancelID);
}

HRESULT STDMETHODCALLTYPE Async_SetEnable(IOPCAsyncIO2* iface, BOOL bEnable)
{
    return SimpleAsyncCall(
        Self(iface), SimMethod::SetEnable,
        [](Group& g, void* arg) {
            g.enabled = *static_cast<BOOL*>(arg) != FALSE;
            ScheduleUpdates(g);
            return S_OK;
        },
        &bEnable);
}

HRESULT STDMETHODCALLTYPE Async_GetEnable(IOPCAsyncIO2* iface, BOOL* pbEnable)
{
    return SimpleAsyncCall(
        Self(iface), SimMethod::GetEnable,
        [](Group& g, void* arg) {
            if (arg == nullptr) return E_INVALIDARG;
            *static_cast<BOOL*>(arg) = g.enabled ? TRUE : FALSE;
            return S_OK;
        },
        pbEnable);
}

} // namespace

const IOPCAsyncIO2Vtbl kAsyncIoVtbl = {
    FacetQueryInterface<IOPCAsyncIO2, Group>,
    FacetAddRef<IOPCAsyncIO2, Group>,
    FacetRelease<IOPCAsyncIO2, Group>,
    Async_Read,
    Async_Write,
    Async_Refresh2,
    Async_Cancel2,
    Async_SetEnable,
    Async_GetEnable,
};
