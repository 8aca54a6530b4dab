#include "connection/server_shutdown.h"

#include <windows.h>
#include <objbase.h>

#include "connection/message_window.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"

void LeaveDeadServer(OpcDriver& drv)
{
    if (HasFlag(drv, ComInit)) {
        DisconnectSink(drv.shutdownSink);
        DisconnectSink(drv.dataSink);
        CoUninitialize();
        ClearFlag(drv, ComInit);
    }
    // No further call is made to the server, neither Unadvise nor Release.
    drv.server = nullptr;
    drv.serverPoints = nullptr;
    drv.shutdownPoint = nullptr;
    drv.itemMgt = nullptr;
    drv.syncIo = nullptr;
    drv.asyncIo = nullptr;
    drv.groupPoints = nullptr;
    drv.dataPoint = nullptr;
}

void DropConnection(OpcDriver& drv)
{
    if (!WorkerOrphaned(drv) && !HasFlag(drv, ThreadMode)) {
        LeaveDeadServer(drv);
        return;
    }
    // The interfaces are the worker's: with ServerDown set it leaves the server itself on its way out.
    StopWorker(drv, kWorkerStopWaitMs);
    ClearFlag(drv, ThreadMode);
    // A worker the host gave up on may still write its batch; the record's last holder releases it.
    if (WorkerOrphaned(drv)) return;
    ReleaseSyncReadBatch(drv);
    ReleaseSyncWriteBatch(drv);
}

bool ShutdownNoticeAwaited(const OpcDriver& drv)
{
    return IsServerDown(drv) && !drv.shutdownHandled;
}

void OnServerShutdown(OpcDriver& drv)
{
    if (!ShutdownNoticeAwaited(drv)) return;
    drv.shutdownHandled = true;
    DropConnection(drv);
}

void RepostShutdownNotice(OpcDriver& drv)
{
    PostToWindow(drv, MsgServerShutdown, 0);
}
