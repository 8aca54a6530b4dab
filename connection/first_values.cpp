#include "connection/first_values.h"

#include <objbase.h>

#include "opcda.h"

#include "connection/keep_alive.h"
#include "connection/supervision.h"
#include "driver/debug_trace.h"
#include "driver/opc_driver.h"

namespace {

constexpr wchar_t kTraceRefresh[] = L"IOPCAsyncIO2->Refresh2( OPC_DS_CACHE, ...)";
constexpr wchar_t kTraceRefused[] = L"IOPCAsyncIO2->Refresh2: refused, channels wait for their first change";
// The refresh's OnDataChange carries it; nothing waits for that number.
constexpr DWORD kRefreshTransaction = 0xFFFFFFFFu;
constexpr wchar_t kTraceLate[] = L"IOPCAsyncIO2->Refresh2: no first values within the batch time limit";
// How often the wait looks whether the values have come.
constexpr DWORD kFirstValuesPollMs = 10;

// Inside the server-call scope: COM's wait dispatches the server's incoming calls (and, like COM's own
// modal loop, the thread's messages, which the window holds back where they must wait).
void AwaitFirstValues(OpcDriver& drv)
{
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (never == nullptr) return;
    ULONGLONG deadline = GetTickCount64() + drv.batchTimeoutMs;
    while (drv.firstValuesPending && !drv.doneAsked && GetTickCount64() < deadline) {
        DWORD index = 0;
        CoWaitForMultipleHandles(0, kFirstValuesPollMs, 1, &never, &index);
    }
    CloseHandle(never);
    if (drv.firstValuesPending) EmitTraceLine(drv, kTraceLate);
    drv.firstValuesPending = false;
}

} // namespace

bool RequestFirstValues(OpcDriver& drv, bool waitForThem)
{
    if (!HasFlag(drv, Subscribe) || HasFlag(drv, ThreadMode) || drv.asyncIo == nullptr) return true;
    EmitTraceLine(drv, kTraceRefresh);
    NoteServerCall(drv);
    DWORD cancelId = 0;
    // A server may answer inside the call.
    drv.firstValuesPending = true;
    EnterServerCall(drv);
    HRESULT hr = drv.asyncIo->Refresh2(OPC_DS_CACHE, kRefreshTransaction, &cancelId);
    if (hr != S_OK) {
        drv.firstValuesPending = false;
        EmitTraceLine(drv, kTraceRefused);
    } else if (waitForThem) {
        AwaitFirstValues(drv);
    }
    return LeaveServerCall(drv);
}

void NoteFirstValues(OpcDriver& drv, DWORD transactionId)
{
    if (transactionId == kRefreshTransaction) drv.firstValuesPending = false;
}
