#include "connection/server_connection.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/com_util.h"
#include "connection/last_error.h"
#include "connection/server_state.h"
#include "driver/opc_driver.h"

namespace {

constexpr wchar_t kErrComInit[] = L"Microsoft COM initialization failed";

// An in-process server is never requested; a named machine is reached only remotely.
constexpr DWORD kLocalContext = CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD kRemoteContext = CLSCTX_REMOTE_SERVER;

// None of these steps can fail the connection: without them the instance only never learns of a
// shutdown.
void AdviseShutdownSink(OpcDriver& drv)
{
    if (!QueryInto(drv.server, IID_IConnectionPointContainer, drv.serverPoints)) return;
    if (!FindPoint(drv.serverPoints, IID_IOPCShutdown, drv.shutdownPoint)) return;
    DWORD cookie = 0;
    if (drv.shutdownPoint->Advise(SinkUnknown(drv.shutdownSink), &cookie) != S_OK) return;
    drv.shutdownCookie = cookie;
    SetFlag(drv, ShutdownAdvised);
}

bool ConnectWithPause(OpcDriver& drv, bool pause)
{
    HRESULT hr = CoInitialize(nullptr);
    if (hr != S_OK && hr != S_FALSE) return ReportFailure(drv, kErrComInit);
    SetFlag(drv, ComInit);
    // The apartment that advises the sinks is the one whose notices count.
    drv.supervision.connectionThread.store(GetCurrentThreadId());
    if (!CreateServerObject(drv, drv.server)) return ReportFailure(drv, kErrCreateServer);
    AdviseShutdownSink(drv);
    return AwaitUsableState(drv, pause);
}

} // namespace

bool CreateServerObject(const OpcDriver& drv, IOPCServer*& server)
{
    HRESULT hr = S_OK;
    if (drv.hostName[0] == L'\0') {
        void* object = nullptr;
        hr = CoCreateInstance(drv.serverClsid, nullptr, kLocalContext, IID_IOPCServer, &object);
        server = static_cast<IOPCServer*>(object);
    } else {
        // No authentication information: the process's default COM security applies.
        COSERVERINFO serverInfo{};
        serverInfo.pwszName = const_cast<wchar_t*>(drv.hostName);
        MULTI_QI result{&IID_IOPCServer, nullptr, S_OK};
        hr = CoCreateInstanceEx(drv.serverClsid, nullptr, kRemoteContext, &serverInfo, 1, &result);
        server = static_cast<IOPCServer*>(result.pItf);
    }
    if (hr == S_OK && server != nullptr) return true;
    if (SUCCEEDED(hr)) ReleaseInterface(server);
    server = nullptr;
    return false;
}

bool ConnectServer(OpcDriver& drv)
{
    return ConnectWithPause(drv, true);
}

bool ConnectRunningServer(OpcDriver& drv)
{
    return ConnectWithPause(drv, false);
}

void ReleaseServer(OpcDriver& drv)
{
    if (drv.shutdownPoint != nullptr) {
        if (HasFlag(drv, ShutdownAdvised)) drv.shutdownPoint->Unadvise(drv.shutdownCookie);
        ClearFlag(drv, ShutdownAdvised);
        ReleaseInterface(drv.shutdownPoint);
    }
    ReleaseInterface(drv.serverPoints);
    ReleaseInterface(drv.server);
    if (HasFlag(drv, ComInit)) {
        // A stub of this apartment may still hold the sink (a server that died, or kept it); that
        // reference must go before the apartment ends and before the record can be freed.
        DisconnectSink(drv.shutdownSink);
        CoUninitialize();
        ClearFlag(drv, ComInit);
    }
}

void ForgetConnection(OpcDriver& drv)
{
    // No further call is made to the server, neither Unadvise nor Release.
    drv.flags.fetch_and(~(ComInit | ShutdownAdvised | DataAdvised));
    drv.server = nullptr;
    drv.serverPoints = nullptr;
    drv.shutdownPoint = nullptr;
    drv.itemMgt = nullptr;
    drv.syncIo = nullptr;
    drv.asyncIo = nullptr;
    drv.groupPoints = nullptr;
    drv.dataPoint = nullptr;
}

void LeaveApartment(OpcDriver& drv)
{
    DisconnectSink(drv.shutdownSink);
    DisconnectSink(drv.dataSink);
    CoUninitialize();
}

void AbandonConnection(OpcDriver& drv)
{
    DisconnectSink(drv.shutdownSink);
    DisconnectSink(drv.dataSink);
    ForgetConnection(drv);
}

void LeaveDeadServer(OpcDriver& drv)
{
    if (HasFlag(drv, ComInit)) {
        LeaveApartment(drv);
        ClearFlag(drv, ComInit);
    }
    ForgetConnection(drv);
}
