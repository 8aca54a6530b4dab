#include "connection/lifecycle.h"

#include "config/param_file.h"
#include "connection/group.h"
#include "connection/message_window.h"
#include "connection/server_connection.h"
#include "connection/server_shutdown.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kErrNoWindow[] = L"Cannot create driver window";
constexpr wchar_t kErrStartTimeout[] = L"OPC server did not answer in time";

bool Refuse(std::uint32_t errMax, wchar_t* err, const wchar_t* text)
{
    if (err != nullptr) CopyText(errMax, err, kLastErrorMax, text);
    return false;
}

// Asynchronous mode in the host's thread. A group that cannot serve it is released together with the
// server (and this thread's COM initialisation), and the connection is made again by a worker.
ConnectOutcome ConnectInHostThread(OpcDriver& drv)
{
    if (!ConnectServer(drv)) return ConnectOutcome::Failed;
    bool fallBackToSync = false;
    if (CreateGroup(drv, true, fallBackToSync)) return ConnectOutcome::Connected;
    // Any other failure keeps what was acquired for Done.
    if (!fallBackToSync) return ConnectOutcome::Failed;
    ReleaseGroup(drv);
    ReleaseServer(drv);
    return StartWorker(drv);
}

// True while a worker that the host gave up on still holds the record: it may be walking the channel
// table (binding items), so the table stays until the record's last holder clears it.
bool RecordShared(const OpcDriver& drv)
{
    return drv.holders.load() > 1;
}

} // namespace

bool Init(OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax, wchar_t* err,
          std::uint32_t userData, NotifyCallback callback)
{
    // Without a window no completion, deferred batch or shutdown notice could ever reach the instance.
    if (!CreateDriverWindow(drv)) return Refuse(errMax, err, kErrNoWindow);
    drv.userData = userData;
    drv.notify = callback;
    if (!LoadParameterFile(drv, nameMax, name, errMax, err)) return false;
    ConnectOutcome outcome = HasFlag(drv, SyncIo) ? StartWorker(drv) : ConnectInHostThread(drv);
    switch (outcome) {
    case ConnectOutcome::Connected:
        drv.ready = true;
        return true;
    case ConnectOutcome::TimedOut:
        return Refuse(errMax, err, kErrStartTimeout);
    default:
        if (err != nullptr) CopyText(errMax, err, kLastErrorMax, drv.lastError);
        return false;
    }
}

void Done(OpcDriver& drv)
{
    drv.ready = false;
    if (IsServerDown(drv)) {
        // The shutdown notice's message may still be queued: stop and drop now, nothing else will.
        DropConnection(drv);
    } else if (HasFlag(drv, ThreadMode)) {
        // The worker releases the group and the server itself on its way out.
        StopWorker(drv, kWorkerStopWaitMs);
    } else {
        ReleaseGroup(drv);
        ReleaseServer(drv);
    }
    // After this nothing that COM or a late worker delivers reaches the instance.
    drv.shutdownSink.owner = nullptr;
    drv.dataSink.owner = nullptr;
    if (!RecordShared(drv)) drv.channels.Clear();
    DestroyDriverWindow(drv);
}
