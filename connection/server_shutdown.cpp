#include "connection/server_shutdown.h"

#include <windows.h>
#include <objbase.h>

#include "connection/message_window.h"
#include "connection/recovery.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"

void LeaveApartment(OpcDriver& drv)
{
    DisconnectSink(drv.shutdownSink);
    DisconnectSink(drv.dataSink);
    CoUninitialize();
}

void LeaveDeadServer(OpcDriver& drv)
{
    if (HasFlag(drv, ComInit)) {
        LeaveApartment(drv);
        ClearFlag(drv, ComInit);
    }
    ForgetConnection(drv);
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
    if (ReconnectEnabled(drv)) {
        // Lets the connection go without waiting for the worker, then tries again later.
        LoseServer(drv, LossCause::ShutdownNotice, S_OK);
        return;
    }
    DropConnection(drv);
}

void RepostShutdownNotice(OpcDriver& drv)
{
    PostToWindow(drv, MsgServerShutdown, 0);
}
