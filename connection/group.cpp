#include "connection/group.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/com_util.h"
#include "connection/group_items.h"
#include "connection/last_error.h"
#include "connection/server_connection.h"
#include "driver/opc_driver.h"
#include "idl/opc_constants.h"

namespace {

constexpr wchar_t kErrAddGroup[] = L"Cannot create group on OPC server (server specific error)";
constexpr wchar_t kErrNotDa2[] = L"OPC server does not comply to OPC Data Access v2 specifications";
constexpr wchar_t kErrNoDataPoint[] =
    L"The server does not provide IOPCDataCallback connection point (server does "
    L"not conform to OPC v2 specifications)";
constexpr wchar_t kErrCallbackRefused[] =
    L"The server refuses the IOPCDataCallback connection that subscribe needs";
constexpr wchar_t kErrNoIo[] =
    L"Cannot query either asynchronous or synchronous server interface (server specific error)";

constexpr wchar_t kGroupName[] = L"OVGroup";
constexpr OPCHANDLE kClientGroupHandle = 1;
constexpr DWORD kLocale = LOCALE_SYSTEM_DEFAULT;

bool AddGroup(OpcDriver& drv)
{
    // The rate that means "no rate set" also makes the group inactive: its reads then go to the device.
    BOOL active = drv.updateRateMs != kDefaultUpdateRateMs ? TRUE : FALSE;
    LONG timeBias = 0;
    OPCHANDLE serverGroup = 0;
    DWORD revisedRate = 0;
    IUnknown* group = nullptr;
    HRESULT hr = drv.server->AddGroup(kGroupName, active, drv.updateRateMs, kClientGroupHandle, &timeBias,
                                      nullptr, kLocale, &serverGroup, &revisedRate, IID_IOPCItemMgt, &group);
    if ((hr == S_OK || hr == OPC_S_UNSUPPORTEDRATE) && group != nullptr) {
        drv.groupHandle = serverGroup;
        drv.itemMgt = static_cast<IOPCItemMgt*>(group);
        return true;
    }
    if (SUCCEEDED(hr)) ReleaseInterface(group);
    return false;
}

enum class Advised { Yes, Refused, Failed };

// The group's IOPCDataCallback point with the driver's sink advised, in the calling thread's apartment.
Advised AdviseDataCallback(OpcDriver& drv)
{
    if (!QueryInto(drv.itemMgt, IID_IConnectionPointContainer, drv.groupPoints)) {
        ReportFailure(drv, kErrNotDa2);
        return Advised::Failed;
    }
    if (!FindPoint(drv.groupPoints, IID_IOPCDataCallback, drv.dataPoint)) {
        ReportFailure(drv, kErrNoDataPoint);
        return Advised::Failed;
    }
    DWORD cookie = 0;
    if (drv.dataPoint->Advise(SinkUnknown(drv.dataSink), &cookie) != S_OK) return Advised::Refused;
    drv.dataCookie = cookie;
    SetFlag(drv, DataAdvised);
    return Advised::Yes;
}

enum class AsyncSetUp { Ready, FallBack, Failed };

AsyncSetUp SetUpAsyncIo(OpcDriver& drv)
{
    if (!QueryInto(drv.itemMgt, IID_IOPCAsyncIO2, drv.asyncIo)) return AsyncSetUp::FallBack;
    switch (AdviseDataCallback(drv)) {
    case Advised::Yes:
        return AsyncSetUp::Ready;
    case Advised::Refused:
        // Without an advised callback a conformant server refuses every asynchronous call
        // (CONNECT_E_NOCONNECTION), so such a group is served synchronously instead.
        return AsyncSetUp::FallBack;
    default:
        return AsyncSetUp::Failed;
    }
}

// Synchronous mode; with subscribe the worker's apartment receives the data changes.
bool SetUpSyncIo(OpcDriver& drv)
{
    if (!QueryInto(drv.itemMgt, IID_IOPCSyncIO, drv.syncIo)) return ReportFailure(drv, kErrNoIo);
    if (!HasFlag(drv, Subscribe)) return true;
    Advised advised = AdviseDataCallback(drv);
    if (advised == Advised::Refused) return ReportFailure(drv, kErrCallbackRefused);
    return advised == Advised::Yes;
}

} // namespace

bool CreateGroup(OpcDriver& drv, bool asyncMode, bool& fallBackToSync)
{
    fallBackToSync = false;
    if (drv.server == nullptr) return ReportFailure(drv, kErrCreateServer);
    if (!AddGroup(drv)) return ReportFailure(drv, kErrAddGroup);
    if (asyncMode) {
        AsyncSetUp setUp = SetUpAsyncIo(drv);
        fallBackToSync = setUp == AsyncSetUp::FallBack;
        if (setUp != AsyncSetUp::Ready) return false;
    } else if (!SetUpSyncIo(drv)) {
        return false;
    }
    return AddChannelItems(drv);
}

void ReleaseGroup(OpcDriver& drv)
{
    if (drv.dataPoint != nullptr) {
        // Unadvise first: until it returns, the server may still call the sink for this group.
        if (HasFlag(drv, DataAdvised)) drv.dataPoint->Unadvise(drv.dataCookie);
        ClearFlag(drv, DataAdvised);
        ReleaseInterface(drv.dataPoint);
        // A server that kept its proxy of the sink (or died) leaves a stub reference in this apartment.
        DisconnectSink(drv.dataSink);
    }
    if (drv.syncIo != nullptr) {
        ReleaseInterface(drv.syncIo);
        ReleaseSyncReadBatch(drv);
        ReleaseSyncWriteBatch(drv);
    }
    ReleaseInterface(drv.asyncIo);
    ReleaseInterface(drv.groupPoints);
    ReleaseInterface(drv.itemMgt);
}
