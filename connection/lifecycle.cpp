#include "connection/lifecycle.h"

#include "config/param_file.h"
#include "connection/first_values.h"
#include "connection/group.h"
#include "connection/keep_alive.h"
#include "connection/message_window.h"
#include "connection/server_connection.h"
#include "connection/supervision.h"
#include "connection/worker.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kErrNoWindow[] = L"Cannot create driver window";
constexpr wchar_t kErrStartTimeout[] = L"OPC server did not answer in time";
constexpr wchar_t kErrInitTwice[] = L"Init was already called for this driver instance";

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

} // namespace

bool Init(OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax, wchar_t* err,
          std::uint32_t userData, NotifyCallback callback)
{
    // A second window would keep pointing at the record after DisposeDriver, and a second file would
    // be read over the channels of the first: an instance is initialised once, whatever the outcome.
    if (drv.initCalled) return Refuse(errMax, err, kErrInitTwice);
    drv.initCalled = true;
    BeginSupervision(drv);
    // Without a window no completion, deferred batch or shutdown notice could ever reach the instance.
    if (!CreateDriverWindow(drv)) return Refuse(errMax, err, kErrNoWindow);
    drv.userData = userData;
    drv.notify = callback;
    if (!LoadParameterFile(drv, nameMax, name, errMax, err)) return false;
    // Without memory for it the exports look channels up in the table itself, only slower.
    BuildChannelIndex(drv.channelIndex, drv.channels);
    // The connection's calls may run the window's messages (a shutdown notice right after Advise) and
    // host code: what must wait for the calls' return waits.
    EnterServerCall(drv);
    ConnectOutcome outcome = HasFlag(drv, SyncIo) ? StartWorker(drv) : ConnectInHostThread(drv);
    if (outcome == ConnectOutcome::Connected) RequestFirstValues(drv, true);
    if (!LeaveServerCall(drv)) return false;
    switch (outcome) {
    case ConnectOutcome::Connected:
        // Not after a Done that host code asked for meanwhile: the instance has been torn down.
        drv.ready = drv.window != nullptr;
        if (drv.ready) StartKeepAlive(drv);
        // The worker's first values, when they came within the batch limit: the host's first batch finds
        // them.
        if (drv.ready && HasFlag(drv, Subscribe) && HasFlag(drv, ThreadMode))
            drv.supervision.exchange->applyQueuedChanges(drv);
        return drv.ready;
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
    drv.doneAsked = true;
    // Called by host code that COM's modal loop ran inside one of the instance's own server calls, the
    // tear-down waits for the outermost call's return: the call's caller still uses the record.
    if (drv.serverCallDepth > 0) return;
    // The tear-down's own server calls count as such calls too.
    EnterServerCall(drv);
    LeaveServerCall(drv);
}
