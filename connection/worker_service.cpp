#include "connection/worker_service.h"

#include <atomic>
#include <cstddef>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/message_window.h"
#include "driver/debug_trace.h"
#include "driver/opc_driver.h"

namespace {

constexpr wchar_t kTraceReadDevice[] = L"IOPCSyncIO->Read( OPC_DS_DEVICE, ...)";
constexpr wchar_t kTraceReadCache[] = L"IOPCSyncIO->Read( OPC_DS_CACHE, ...)";
constexpr wchar_t kTraceReadReturned[] = L"IOPCSyncIO->Read() returned";
constexpr wchar_t kTraceWrite[] = L"IOPCSyncIO->Write(...)";
constexpr wchar_t kTraceWriteReturned[] = L"IOPCSyncIO->Write() returned";

// Indexes of the service wait; the lowest signalled one is reported, so a stop always wins.
constexpr DWORD kStopIndex = 0;
constexpr DWORD kReadIndex = 1;
constexpr DWORD kWriteIndex = 2;

template <std::size_t N> void TraceCall(const OpcDriver& drv, const wchar_t (&text)[N])
{
    EmitTrace(drv, nullptr, static_cast<std::uint32_t>(N - 1), text);
}

// Consumes the event's signal when it is set, without waiting.
bool TakeSignal(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// The results are in the record: the release store of the batch's number publishes them before the
// host's thread can receive the message that hands the batch back, and names the batch answered.
void HandBack(OpcDriver& drv, std::uint32_t message, std::uint32_t number,
              std::atomic<std::uint32_t>& answered)
{
    answered.store(number, std::memory_order_release);
    PostToWindow(drv, message, number);
}

void ServeRead(OpcDriver& drv)
{
    // An inactive group (the default rate) keeps no cache worth reading.
    bool fromDevice = drv.updateRateMs == kDefaultUpdateRateMs;
    if (fromDevice) {
        TraceCall(drv, kTraceReadDevice);
    } else {
        TraceCall(drv, kTraceReadCache);
    }
    std::uint32_t number = drv.syncReadNumber;
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    drv.syncReadResult =
        drv.syncIo->Read(fromDevice ? OPC_DS_DEVICE : OPC_DS_CACHE, drv.syncReadCount,
                         reinterpret_cast<OPCHANDLE*>(drv.syncReadHandles), &states, &errors);
    drv.syncReadStates = states;
    drv.syncReadErrors = errors;
    TraceCall(drv, kTraceReadReturned);
    HandBack(drv, MsgSyncReadDone, number, drv.syncReadAnswered);
}

void ServeWrite(OpcDriver& drv)
{
    TraceCall(drv, kTraceWrite);
    std::uint32_t number = drv.syncWriteNumber;
    HRESULT* errors = nullptr;
    drv.syncWriteResult = drv.syncIo->Write(
        drv.syncWriteCount, reinterpret_cast<OPCHANDLE*>(drv.syncWriteHandles), drv.syncWriteValues, &errors);
    drv.syncWriteErrors = errors;
    TraceCall(drv, kTraceWriteReturned);
    HandBack(drv, MsgSyncWriteDone, number, drv.syncWriteAnswered);
}

} // namespace

void ServeBatches(OpcDriver& drv)
{
    HANDLE events[3] = {drv.stopEvent, drv.readEvent, drv.writeEvent};
    for (;;) {
        // Waiting through COM keeps this apartment open for calls into it: the server's shutdown notice
        // would otherwise wait until the worker's next outgoing call, or for ever.
        DWORD index = kStopIndex;
        if (CoWaitForMultipleHandles(0, INFINITE, 3, events, &index) != S_OK) return;
        if (index != kReadIndex && index != kWriteIndex) return;
        if (index == kReadIndex || TakeSignal(drv.readEvent)) ServeRead(drv);
        if (index == kWriteIndex || TakeSignal(drv.writeEvent)) ServeWrite(drv);
    }
}
