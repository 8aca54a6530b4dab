#include "connection/worker.h"

#include <initializer_list>

#include <windows.h>
#include <objbase.h>

#include "connection/group.h"
#include "connection/last_error.h"
#include "connection/server_connection.h"
#include "connection/server_shutdown.h"
#include "connection/server_state.h"
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
    // The worker's own reference on the module: a host that unloads the library while a worker it gave
    // up on still runs must not pull the code from under it.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerMain),
                            &module))
        return false;
    HoldDriverRecord(drv);
    drv.thread = CreateThread(nullptr, 0, WorkerMain, &drv, 0, nullptr);
    if (drv.thread != nullptr) return true;
    OpcDriver* record = &drv;
    ReleaseDriverRecord(record); // the host's own hold remains
    FreeLibrary(module);
    return false;
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

DWORD RunWorker(OpcDriver& drv)
{
    if (!ConnectServer(drv)) {
        ReleaseServer(drv);
        return kExitConnectFailed;
    }
    bool fallBackToSync = false;
    if (!CreateGroup(drv, false, fallBackToSync)) {
        ReleaseGroup(drv);
        ReleaseServer(drv);
        return kExitGroupFailed;
    }
    SetEvent(drv.readyEvent);
    ServeBatches(drv);
    if (IsServerDown(drv)) {
        LeaveDeadServer(drv);
    } else {
        ReleaseGroup(drv);
        ReleaseServer(drv);
    }
    return kExitStopped;
}

[[noreturn]] void FinishWorker(OpcDriver& drv, DWORD exitCode)
{
    std::uint32_t expected = kLinkAttached;
    if (!drv.workerLink.compare_exchange_strong(expected, kLinkFinished)) CloseWorkerEvents(drv);
    // The record may be freed right here, by this thread; nothing of it is touched afterwards.
    OpcDriver* record = &drv;
    ReleaseDriverRecord(record);
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&WorkerMain), &module);
    FreeLibraryAndExitThread(module, exitCode);
}

} // namespace

ConnectOutcome StartWorker(OpcDriver& drv)
{
    SetFlag(drv, ThreadMode);
    drv.workerLink.store(kLinkAttached);
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
    FinishWorker(drv, RunWorker(drv));
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
