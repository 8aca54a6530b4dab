#include "connection/worker.h"

#include <initializer_list>

#include <windows.h>
#include <objbase.h>

#include "connection/group.h"
#include "connection/holding_thread.h"
#include "connection/last_error.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/server_connection.h"
#include "connection/server_shutdown.h"
#include "connection/server_state.h"
#include "connection/supervision_lock.h"
#include "connection/worker_own.h"
#include "connection/worker_service.h"
#include "driver/opc_driver.h"

namespace {

constexpr wchar_t kErrNoWorker[] = L"Cannot start worker thread";

// Exit codes of the worker; nothing reads them.
constexpr DWORD kExitStopped = 0;
constexpr DWORD kExitConnectFailed = 1;
constexpr DWORD kExitGroupFailed = 2;

// Who closes the worker's events, decided once by compare-and-swap between the host giving up on the
// worker and the worker reaching its end.
enum WorkerLink : std::uint32_t {
    kLinkAttached = 0, // the host closes them once the worker has ended
    kLinkOrphaned = 1, // the host gave up waiting; the worker closes them itself
    kLinkFinished = 2, // the worker no longer uses them; the host closes them
};

void CloseHandleIfValid(HANDLE& handle)
{
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
}

void CloseWorkerEvents(OpcDriver& drv)
{
    CloseHandleIfValid(drv.readyEvent);
    CloseHandleIfValid(drv.stopEvent);
    CloseHandleIfValid(drv.readEvent);
    CloseHandleIfValid(drv.writeEvent);
}

void CloseWorkerHandles(OpcDriver& drv)
{
    CloseHandleIfValid(drv.thread);
    CloseWorkerEvents(drv);
}

// Unnamed auto-reset events, not signalled, in the order ready, stop, read, write.
bool CreateWorkerEvents(OpcDriver& drv)
{
    for (HANDLE* event : {&drv.readyEvent, &drv.stopEvent, &drv.readEvent, &drv.writeEvent}) {
        *event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (*event == nullptr) return false;
    }
    return true;
}

bool LaunchWorker(OpcDriver& drv)
{
    drv.thread = StartHoldingThread(drv, WorkerMain);
    return drv.thread != nullptr;
}

// The connection's own limits plus a margin, summed without wrapping and never INFINITE.
DWORD StartWaitMs(const OpcDriver& drv)
{
    std::uint64_t limit = std::uint64_t{drv.waitTimeMs} + kRunningWaitMs + kWorkerStartMarginMs;
    return limit >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(limit);
}

// Gives up on a worker that is still running; false when it reached its end meanwhile.
bool Orphan(OpcDriver& drv)
{
    std::uint32_t expected = kLinkAttached;
    if (!drv.workerLink.compare_exchange_strong(expected, kLinkOrphaned)) return false;
    // Nothing of this worker reaches the host any more, not even a late shutdown notice.
    drv.shutdownSink.owner = nullptr;
    drv.dataSink.owner = nullptr;
    // The thread handle is the host's alone; the events are now the worker's.
    CloseHandleIfValid(drv.thread);
    return true;
}

// A worker connecting for a recovery attempt tells the host's thread how it went; Init waits instead.
void ReportAttempt(OpcDriver& drv, const WorkerOwn& own, bool connected)
{
    if (!own.attempt) return;
    drv.supervision.attemptResult.store(connected ? 1u : 0u);
    PostToWindow(drv, MsgAttemptDone);
}

DWORD RunWorker(OpcDriver& drv, const WorkerOwn& own)
{
    if (!ConnectServer(drv)) {
        ReleaseServer(drv);
        ReportAttempt(drv, own, false);
        return kExitConnectFailed;
    }
    bool fallBackToSync = false;
    if (!CreateGroup(drv, false, fallBackToSync)) {
        ReleaseGroup(drv);
        ReleaseServer(drv);
        ReportAttempt(drv, own, false);
        return kExitGroupFailed;
    }
    SetEvent(own.readyEvent);
    ReportAttempt(drv, own, true);
    ServeBatches(drv, own);
    bool replaced = false;
    {
        SupervisionLock held(drv);
        replaced = WorkerReplaced(drv, own);
    }
    if (replaced) {
        // The record's connection fields are a newer worker's now: only this apartment is left.
        LeaveApartment(drv);
    } else if (IsServerDown(drv)) {
        LeaveDeadServer(drv);
    } else {
        ReleaseGroup(drv);
        ReleaseServer(drv);
    }
    return kExitStopped;
}

void CloseOwnEvents(WorkerOwn& own)
{
    for (HANDLE* event : {&own.readyEvent, &own.stopEvent, &own.readEvent, &own.writeEvent})
        CloseHandleIfValid(*event);
}

[[noreturn]] void FinishWorker(OpcDriver& drv, WorkerOwn& own, DWORD exitCode)
{
    {
        SupervisionLock held(drv);
        std::uint32_t expected = kLinkAttached;
        // A replaced worker no longer owns the record's link: a newer worker does.
        if (WorkerReplaced(drv, own) || !drv.workerLink.compare_exchange_strong(expected, kLinkFinished))
            CloseOwnEvents(own);
    }
    EndHoldingThread(drv, exitCode);
}

} // namespace

ConnectOutcome StartWorker(OpcDriver& drv)
{
    SetFlag(drv, ThreadMode);
    drv.workerLink.store(kLinkAttached);
    drv.supervision.attemptByWorker = false;
    if (!CreateWorkerEvents(drv) || !LaunchWorker(drv)) {
        CloseWorkerHandles(drv);
        ReportFailure(drv, kErrNoWorker);
        return ConnectOutcome::Failed;
    }
    HANDLE started[2] = {drv.thread, drv.readyEvent};
    DWORD result = WaitForMultipleObjects(2, started, FALSE, StartWaitMs(drv));
    if (result == WAIT_OBJECT_0 + 1) return ConnectOutcome::Connected;
    if (result == WAIT_OBJECT_0) {
        // Ended before it was ready, after releasing what it acquired; its reason is in lastError.
        CloseWorkerHandles(drv);
        return ConnectOutcome::Failed;
    }
    StopWorker(drv, 0);
    return ConnectOutcome::TimedOut;
}

DWORD WINAPI WorkerMain(void* driver)
{
    OpcDriver& drv = *static_cast<OpcDriver*>(driver);
    WorkerOwn own = TakeWorkerOwn(drv);
    DWORD exitCode = RunWorker(drv, own);
    FinishWorker(drv, own, exitCode);
}

WorkerOwn TakeWorkerOwn(OpcDriver& drv)
{
    WorkerOwn own;
    own.epoch = drv.supervision.workerEpoch.load();
    own.attempt = drv.supervision.attemptByWorker;
    own.readyEvent = drv.readyEvent;
    own.stopEvent = drv.stopEvent;
    own.readEvent = drv.readEvent;
    own.writeEvent = drv.writeEvent;
    return own;
}

bool WorkerReplaced(const OpcDriver& drv, const WorkerOwn& own)
{
    return drv.supervision.workerEpoch.load() != own.epoch;
}

bool StartAttemptWorker(OpcDriver& drv)
{
    SetFlag(drv, ThreadMode);
    drv.workerLink.store(kLinkAttached);
    drv.supervision.attemptByWorker = true;
    bool started = CreateWorkerEvents(drv) && LaunchWorker(drv);
    if (!started) CloseWorkerHandles(drv);
    return started;
}

void ReplaceWorker(OpcDriver& drv)
{
    if (drv.thread == nullptr) return;
    SupervisionLock held(drv);
    // Under the lock the worker is either before its next store into the record, and then sees that it
    // was replaced, or past its last one.
    SetEvent(drv.stopEvent);
    drv.supervision.workerEpoch.fetch_add(1);
    std::uint32_t expected = kLinkAttached;
    if (drv.workerLink.compare_exchange_strong(expected, kLinkOrphaned)) {
        // The worker closes its own copies of the events.
        drv.readyEvent = nullptr;
        drv.stopEvent = nullptr;
        drv.readEvent = nullptr;
        drv.writeEvent = nullptr;
    } else {
        CloseWorkerEvents(drv);
    }
    CloseHandleIfValid(drv.thread);
    // Its interfaces belong to its apartment: forgotten here, never released from this thread.
    ForgetConnection(drv);
    // The inputs of a call it is inside are its own now; it frees them when the call returns.
    Supervision& s = drv.supervision;
    if (s.taken[0] != s.answered[0]) drv.syncReadHandles = nullptr;
    if (s.taken[1] != s.answered[1]) {
        drv.syncWriteHandles = nullptr;
        drv.syncWriteValues = nullptr;
    }
    for (int slot = 0; slot < 2; ++slot)
        s.handed[slot] = s.taken[slot] = s.answered[slot];
}

bool SignalWorker(OpcDriver& drv, HANDLE event)
{
    {
        SupervisionLock held(drv);
        ++drv.supervision.handed[event == drv.writeEvent ? 1 : 0];
    }
    return SetEvent(event) != FALSE;
}

bool WorkerAnswered(OpcDriver& drv, bool write)
{
    SupervisionLock held(drv);
    int slot = write ? 1 : 0;
    return drv.supervision.handed[slot] == drv.supervision.answered[slot];
}

void StopWorker(OpcDriver& drv, std::uint32_t timeoutMs)
{
    if (drv.thread == nullptr) return;
    SetEvent(drv.stopEvent);
    if (WaitForSingleObject(drv.thread, timeoutMs) != WAIT_OBJECT_0 && Orphan(drv)) return;
    CloseWorkerHandles(drv);
}

bool WorkerOrphaned(const OpcDriver& drv)
{
    return drv.workerLink.load() == kLinkOrphaned;
}

bool WorkerAlive(const OpcDriver& drv)
{
    return drv.thread != nullptr && WaitForSingleObject(drv.thread, 0) == WAIT_TIMEOUT;
}

void AcquireSyncResults(const OpcDriver& drv)
{
    drv.syncResultsPublished.load(std::memory_order_acquire);
}
