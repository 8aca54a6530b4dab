#include "connection/worker.h"

#include <array>
#include <initializer_list>

#include <windows.h>
#include <objbase.h>

#include "connection/group.h"
#include "connection/holding_thread.h"
#include "connection/last_error.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/server_connection.h"
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

// Every event of the worker, in the order ready, stop, read, write, lost, attempt, status.
std::array<HANDLE*, 7> WorkerEvents(OpcDriver& drv)
{
    return {&drv.readyEvent,
            &drv.stopEvent,
            &drv.readEvent,
            &drv.writeEvent,
            &drv.supervision.lostEvent,
            &drv.supervision.attemptEvent,
            &drv.keepAlive.statusEvent};
}

// Nothing taken and not answered: the worker is not inside a call for the host.
bool WorkerIdle(const Supervision& s)
{
    for (int slot = 0; slot < kWorkerSlots; ++slot)
        if (s.taken[slot] != s.answered[slot]) return false;
    return true;
}

// Whatever was handed and not taken is served by nothing: a new connection starts without it.
void ForgetHandedWork(Supervision& s)
{
    for (int slot = 0; slot < kWorkerSlots; ++slot)
        s.handed[slot] = s.taken[slot] = s.answered[slot];
}

void CloseWorkerEvents(OpcDriver& drv)
{
    for (HANDLE* event : WorkerEvents(drv))
        CloseHandleIfValid(*event);
}

void CloseWorkerHandles(OpcDriver& drv)
{
    CloseHandleIfValid(drv.thread);
    CloseWorkerEvents(drv);
}

// Unnamed auto-reset events, not signalled.
bool CreateWorkerEvents(OpcDriver& drv)
{
    for (HANDLE* event : WorkerEvents(drv)) {
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
    // The thread handle is the host's alone; the events are now the worker's, which closes them.
    CloseHandleIfValid(drv.thread);
    for (HANDLE* event : WorkerEvents(drv))
        *event = nullptr;
    return true;
}

// The connection of one attempt (or of Init): on failure what was acquired is released again. Signals
// left from the lost connection are not the new one's: a let-go signal that a batch's service saw as
// letGo without consuming, and batch signals whose counts the attempt's request reset.
bool Connect(OpcDriver& drv, const WorkerOwn& own)
{
    {
        SupervisionLock held(drv);
        drv.supervision.letGo = false;
        for (HANDLE event : {own.lostEvent, own.readEvent, own.writeEvent, own.statusEvent})
            ResetEvent(event);
    }
    bool fallBackToSync = false;
    if (ConnectServer(drv) && CreateGroup(drv, false, fallBackToSync)) return true;
    ReleaseGroup(drv);
    ReleaseServer(drv);
    return false;
}

// Init waits for the ready event; a recovery attempt's outcome is posted to the host's thread.
void Report(OpcDriver& drv, const WorkerOwn& own, bool forAttempt, bool connected)
{
    if (!forAttempt) {
        if (connected) SetEvent(own.readyEvent);
        return;
    }
    drv.supervision.attemptResult.store(connected ? 1u : 0u);
    PostToWindow(drv, MsgAttemptDone, drv.supervision.attempts);
}

// After the service of batches ended for good.
DWORD Leave(OpcDriver& drv, ServeEnd end)
{
    if (end == ServeEnd::Replaced) {
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

DWORD RunWorker(OpcDriver& drv, const WorkerOwn& own)
{
    bool connected = Connect(drv, own);
    Report(drv, own, own.attempt, connected);
    // A worker that Init waits for ends when it cannot connect; one of recovery waits for the next attempt.
    if (!connected && !own.attempt) return kExitConnectFailed;
    for (;;) {
        if (connected) {
            ServeEnd end = ServeBatches(drv, own);
            bool replaced = false;
            {
                SupervisionLock held(drv);
                replaced = WorkerReplaced(drv, own);
            }
            if (replaced) end = ServeEnd::Replaced;
            if (end != ServeEnd::Lost) return Leave(drv, end);
            // The calls of the release go to a server that has gone or is going: they fail fast, or it
            // answers them; the host's thread does not wait for them.
            ReleaseGroup(drv);
            ReleaseServer(drv);
        }
        if (!AwaitAttempt(own)) return kExitStopped;
        connected = Connect(drv, own);
        Report(drv, own, true, connected);
    }
}

void CloseOwnEvents(WorkerOwn& own)
{
    for (HANDLE* event : {&own.readyEvent, &own.stopEvent, &own.readEvent, &own.writeEvent, &own.lostEvent,
                          &own.attemptEvent, &own.statusEvent})
        CloseHandleIfValid(*event);
}

[[noreturn]] void FinishWorker(OpcDriver& drv, WorkerOwn& own, DWORD exitCode)
{
    {
        SupervisionLock held(drv);
        std::uint32_t expected = kLinkAttached;
        // A replaced worker no longer owns the record's link: a newer worker does.
        bool replaced = WorkerReplaced(drv, own);
        if (replaced) drv.supervision.stuckWorkers.fetch_sub(1);
        if (replaced || !drv.workerLink.compare_exchange_strong(expected, kLinkFinished)) CloseOwnEvents(own);
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
    if (result == WAIT_OBJECT_0 + 1) {
        // Subscribe: the worker signals again once it has read the first values, which a server may
        // never answer; the host's first batch finds them when they came within the batch limit.
        if (HasFlag(drv, Subscribe)) WaitForMultipleObjects(2, started, FALSE, drv.batchTimeoutMs);
        return ConnectOutcome::Connected;
    }
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
    own.lostEvent = drv.supervision.lostEvent;
    own.attemptEvent = drv.supervision.attemptEvent;
    own.statusEvent = drv.keepAlive.statusEvent;
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
    // A fall-back worker after the status probe: the probe's answer is not the worker's.
    drv.supervision.attemptResult.store(kAttemptPending);
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
        // It has not reached its end: it will see the new epoch there, close its own copies of the
        // events and count itself out of the stuck workers.
        drv.supervision.stuckWorkers.fetch_add(1);
        for (HANDLE* event : WorkerEvents(drv))
            *event = nullptr;
    } else {
        CloseWorkerEvents(drv);
    }
    CloseHandleIfValid(drv.thread);
    // Its interfaces belong to its apartment: forgotten here, never released from this thread. What its
    // sinks still receive is not this instance's connection any more.
    ForgetConnection(drv);
    drv.supervision.connectionThread.store(0);
    // The inputs of a call it is inside are its own now; it frees them when the call returns.
    Supervision& s = drv.supervision;
    if (s.taken[0] != s.answered[0]) drv.syncReadHandles = nullptr;
    if (s.taken[1] != s.answered[1]) {
        drv.syncWriteHandles = nullptr;
        drv.syncWriteValues = nullptr;
    }
    ForgetHandedWork(s);
}

void GiveUpOnWorker(OpcDriver& drv)
{
    ReplaceWorker(drv);
    ReleaseSyncReadBatch(drv);
    ReleaseSyncWriteBatch(drv);
}

bool AskWorkerToLetGo(OpcDriver& drv)
{
    if (!WorkerAlive(drv)) return false;
    SupervisionLock held(drv);
    Supervision& s = drv.supervision;
    // A worker inside a call may never come back from it.
    if (!WorkerIdle(s)) return false;
    s.letGo = true;
    return SetEvent(s.lostEvent) != FALSE;
}

bool RequestAttempt(OpcDriver& drv)
{
    if (!WorkerAlive(drv)) {
        CloseWorkerHandles(drv);
        return StartAttemptWorker(drv);
    }
    {
        SupervisionLock held(drv);
        ForgetHandedWork(drv.supervision);
    }
    return SetEvent(drv.supervision.attemptEvent) != FALSE;
}

bool SignalWorker(OpcDriver& drv, HANDLE event)
{
    {
        SupervisionLock held(drv);
        ++drv.supervision.handed[event == drv.writeEvent ? 1 : event == drv.keepAlive.statusEvent ? 2 : 0];
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
