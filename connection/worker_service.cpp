#include "connection/worker_service.h"

#include <atomic>
#include <cstddef>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/keep_alive.h"
#include "connection/message_window.h"
#include "connection/server_state.h"
#include "connection/supervision_lock.h"
#include "connection/worker_own.h"
#include "connection/worker_subscription.h"
#include "driver/debug_trace.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kTraceReadDevice[] = L"IOPCSyncIO->Read( OPC_DS_DEVICE, ...)";
constexpr wchar_t kTraceReadCache[] = L"IOPCSyncIO->Read( OPC_DS_CACHE, ...)";
constexpr wchar_t kTraceReadReturned[] = L"IOPCSyncIO->Read() returned";
constexpr wchar_t kTraceWrite[] = L"IOPCSyncIO->Write(...)";
constexpr wchar_t kTraceWriteReturned[] = L"IOPCSyncIO->Write() returned";

// Indexes of the service wait; the lowest signalled one is reported, so a stop always wins, and a lost
// server wins over batches.
constexpr DWORD kStopIndex = 0;
constexpr DWORD kLostIndex = 1;
constexpr DWORD kReadIndex = 2;
constexpr DWORD kWriteIndex = 3;
constexpr DWORD kStatusIndex = 4;

// What the service of one batch came to. Stale: a signal with no batch handed behind it (one left
// from before a recovery, which reset the counts), served by nothing.
enum class Served { Taken, Answered, Stale, Lost, Replaced };

constexpr int kReadSlot = 0;
constexpr int kWriteSlot = 1;
constexpr int kStatusSlot = 2;
constexpr int kFirstValuesSlot = 3;

// Consumes the event's signal when it is set, without waiting.
bool TakeSignal(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// The results are in the record: the release store of the batch's number publishes them before the
// host's thread can receive the message that hands the batch back, and names the batch answered.
void HandBack(OpcDriver& drv, int slot, std::uint32_t message, std::uint32_t number,
              std::atomic<std::uint32_t>& answered)
{
    ++drv.supervision.answered[slot];
    answered.store(number, std::memory_order_release);
    PostToWindow(drv, message, number);
}

// Takes the slot's work under the lock, where take copies what the call needs; anything but Taken means
// there is nothing to call.
template <class Take> Served TakeWork(OpcDriver& drv, const WorkerOwn& own, int slot, Take take)
{
    SupervisionLock held(drv);
    if (WorkerReplaced(drv, own)) return Served::Replaced;
    if (drv.supervision.letGo) return Served::Lost;
    if (drv.supervision.handed[slot] == drv.supervision.taken[slot]) return Served::Stale;
    ++drv.supervision.taken[slot];
    take();
    return Served::Taken;
}

// The batch's input arrays stay in the record; the worker notes under the lock that it took them for
// its call, and takes the interface with them. A host that gives up on it once the lock is released
// forgets the record's interfaces (ReplaceWorker) and leaves the arrays to it; it frees them when the
// call returns. A worker told to let go of a lost server takes no batch.
Served ServeRead(OpcDriver& drv, const WorkerOwn& own)
{
    std::uint32_t number = 0;
    std::uint32_t count = 0;
    std::uint32_t* handles = nullptr;
    IOPCSyncIO* syncIo = nullptr;
    Served taken = TakeWork(drv, own, kReadSlot, [&] {
        number = drv.syncReadNumber;
        count = drv.syncReadCount;
        handles = drv.syncReadHandles;
        syncIo = drv.syncIo;
    });
    if (taken != Served::Taken) return taken;
    // An inactive group (the default rate) keeps no cache worth reading.
    bool fromDevice = drv.updateRateMs == kDefaultUpdateRateMs;
    if (fromDevice) {
        EmitTraceLine(drv, kTraceReadDevice);
    } else {
        EmitTraceLine(drv, kTraceReadCache);
    }
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = syncIo->Read(fromDevice ? OPC_DS_DEVICE : OPC_DS_CACHE, count,
                              reinterpret_cast<OPCHANDLE*>(handles), &states, &errors);
    EmitTraceLine(drv, kTraceReadReturned);
    {
        SupervisionLock held(drv);
        if (!WorkerReplaced(drv, own)) {
            drv.syncReadResult = hr;
            drv.syncReadStates = states;
            drv.syncReadErrors = errors;
            HandBack(drv, kReadSlot, MsgSyncReadDone, number, drv.syncReadAnswered);
            return Served::Answered;
        }
    }
    // Given up on: the results and the inputs are this worker's own, and clearing them may call into
    // COM, so it happens outside the lock.
    ReleaseReadResults(count, states, errors);
    FreeBlock(handles);
    return Served::Replaced;
}

Served ServeWrite(OpcDriver& drv, const WorkerOwn& own)
{
    std::uint32_t number = 0;
    std::uint32_t count = 0;
    std::uint32_t* handles = nullptr;
    VARIANT* values = nullptr;
    IOPCSyncIO* syncIo = nullptr;
    Served taken = TakeWork(drv, own, kWriteSlot, [&] {
        number = drv.syncWriteNumber;
        count = drv.syncWriteCount;
        handles = drv.syncWriteHandles;
        values = drv.syncWriteValues;
        syncIo = drv.syncIo;
    });
    if (taken != Served::Taken) return taken;
    EmitTraceLine(drv, kTraceWrite);
    HRESULT* errors = nullptr;
    HRESULT hr = syncIo->Write(count, reinterpret_cast<OPCHANDLE*>(handles), values, &errors);
    EmitTraceLine(drv, kTraceWriteReturned);
    {
        SupervisionLock held(drv);
        if (!WorkerReplaced(drv, own)) {
            drv.syncWriteResult = hr;
            drv.syncWriteErrors = errors;
            HandBack(drv, kWriteSlot, MsgSyncWriteDone, number, drv.syncWriteAnswered);
            return Served::Answered;
        }
    }
    // As for a read: outside the lock.
    CoTaskMemFree(errors);
    FreeBlock(handles);
    ReleaseWriteValues(count, values);
    return Served::Replaced;
}

// The keep-alive's status query (connection/keep_alive.h), taken and answered like a batch.
Served ServeStatus(OpcDriver& drv, const WorkerOwn& own)
{
    std::uint32_t number = 0;
    IOPCServer* server = nullptr;
    Served taken = TakeWork(drv, own, kStatusSlot, [&] {
        number = drv.keepAlive.number;
        server = drv.server;
    });
    if (taken != Served::Taken) return taken;
    DWORD state = 0;
    HRESULT hr = AskServerState(*server, state);
    SupervisionLock held(drv);
    if (WorkerReplaced(drv, own)) return Served::Replaced;
    drv.keepAlive.result = hr;
    drv.keepAlive.serverState = state;
    HandBack(drv, kStatusSlot, MsgKeepAliveDone, number, drv.keepAlive.answered);
    return Served::Answered;
}

// Subscribe: each connection's first values, one cache read the worker makes of its own accord, counted
// like a handed call, so that a worker held in it is given up as one held in a batch.
Served ServeFirstValues(OpcDriver& drv, const WorkerOwn& own)
{
    {
        SupervisionLock held(drv);
        ++drv.supervision.handed[kFirstValuesSlot];
    }
    IOPCSyncIO* syncIo = nullptr;
    Served taken = TakeWork(drv, own, kFirstValuesSlot, [&] { syncIo = drv.syncIo; });
    if (taken != Served::Taken) return taken;
    ReadFirstValues(drv, *syncIo);
    SupervisionLock held(drv);
    if (WorkerReplaced(drv, own)) return Served::Replaced;
    ++drv.supervision.answered[kFirstValuesSlot];
    return Served::Answered;
}

ServeEnd EndOf(Served served)
{
    return served == Served::Lost ? ServeEnd::Lost : ServeEnd::Replaced;
}

} // namespace

ServeEnd ServeBatches(OpcDriver& drv, const WorkerOwn& own)
{
    HANDLE events[5] = {own.stopEvent, own.lostEvent, own.readEvent, own.writeEvent, own.statusEvent};
    if (HasFlag(drv, Subscribe)) {
        Served served = ServeFirstValues(drv, own);
        if (served == Served::Lost || served == Served::Replaced) return EndOf(served);
        // Init waits for this a second time (after the connection), at most the batch limit.
        SetEvent(own.readyEvent);
    }
    for (;;) {
        // Waiting through COM keeps this apartment open for calls into it: the server's shutdown notice
        // (and with subscribe its data changes) would otherwise wait until the worker's next outgoing
        // call, or for ever.
        DWORD index = kStopIndex;
        if (CoWaitForMultipleHandles(0, INFINITE, 5, events, &index) != S_OK) return ServeEnd::Stopped;
        if (index == kLostIndex) return ServeEnd::Lost;
        if (index == kStatusIndex) {
            Served served = ServeStatus(drv, own);
            if (served == Served::Lost || served == Served::Replaced) return EndOf(served);
            continue;
        }
        if (index != kReadIndex && index != kWriteIndex) return ServeEnd::Stopped;
        if (index == kReadIndex || TakeSignal(own.readEvent)) {
            Served served = ServeRead(drv, own);
            if (served == Served::Lost || served == Served::Replaced) return EndOf(served);
        }
        if (index == kWriteIndex || TakeSignal(own.writeEvent)) {
            Served served = ServeWrite(drv, own);
            if (served == Served::Lost || served == Served::Replaced) return EndOf(served);
        }
    }
}

bool AwaitAttempt(const WorkerOwn& own)
{
    HANDLE events[2] = {own.stopEvent, own.attemptEvent};
    DWORD index = kStopIndex;
    return CoWaitForMultipleHandles(0, INFINITE, 2, events, &index) == S_OK && index == 1;
}
