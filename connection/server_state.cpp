#include "connection/server_state.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/last_error.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kErrStatus[] = L"Cannot get server status (server specific error)";
constexpr wchar_t kErrStartupFailed[] = L"Server startup failed";
constexpr wchar_t kErrNotConfigured[] = L"Server not configured";
constexpr wchar_t kErrSuspended[] = L"Server in suspend mode";
constexpr wchar_t kErrUndefinedState[] = L"Server returned undefined status";

void FreeStatus(OPCSERVERSTATUS* status)
{
    if (status == nullptr) return;
    if (status->szVendorInfo != nullptr) CoTaskMemFree(status->szVendorInfo);
    CoTaskMemFree(status);
}

} // namespace

HRESULT AskServerState(IOPCServer& server, DWORD& state)
{
    OPCSERVERSTATUS* status = nullptr;
    HRESULT hr = server.GetStatus(&status);
    bool answered = hr == S_OK && status != nullptr;
    if (answered) state = status->dwServerState;
    if (SUCCEEDED(hr)) FreeStatus(status);
    return hr == S_OK && !answered ? E_POINTER : hr;
}

bool QueryState(IOPCServer& server, DWORD& state)
{
    return AskServerState(server, state) == S_OK;
}

namespace {

// Polls a server that is not configured yet until it runs. Leaves state OPC_STATUS_RUNNING, or
// OPC_STATUS_NOCONFIG when the time ran out whatever the server said last (a server in test mode or
// failed does not end the wait); false when a query failed.
bool WaitForRunning(IOPCServer& server, DWORD& state)
{
    std::uint64_t start = Ticks64();
    for (;;) {
        if (!QueryState(server, state)) return false;
        if (state == OPC_STATUS_RUNNING) return true;
        if (Ticks64() - start >= kRunningWaitMs) {
            state = OPC_STATUS_NOCONFIG;
            return true;
        }
        Sleep(kRunningPollMs);
    }
}

} // namespace

bool QueryStateAsAsked(const OpcDriver& drv, IOPCServer& server, DWORD& state)
{
    bool answered = QueryState(server, state);
    if (answered && state == OPC_STATUS_NOCONFIG && HasFlag(drv, WaitRunning))
        answered = WaitForRunning(server, state);
    return answered;
}

bool AwaitUsableState(OpcDriver& drv, bool pause)
{
    if (pause && drv.waitTimeMs != 0) Sleep(drv.waitTimeMs);
    DWORD state = 0;
    if (!QueryStateAsAsked(drv, *drv.server, state)) return ReportFailure(drv, kErrStatus);
    switch (state) {
    case OPC_STATUS_RUNNING:
    case OPC_STATUS_TEST:
        return true;
    case OPC_STATUS_FAILED:
        return ReportFailure(drv, kErrStartupFailed);
    case OPC_STATUS_NOCONFIG:
        return ReportFailure(drv, kErrNotConfigured);
    case OPC_STATUS_SUSPENDED:
        return ReportFailure(drv, kErrSuspended);
    default:
        return ReportFailure(drv, kErrUndefinedState);
    }
}
