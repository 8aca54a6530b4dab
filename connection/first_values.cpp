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

} // namespace

bool RequestFirstValues(OpcDriver& drv)
{
    if (!HasFlag(drv, Subscribe) || HasFlag(drv, ThreadMode) || drv.asyncIo == nullptr) return true;
    EmitTraceLine(drv, kTraceRefresh);
    NoteServerCall(drv);
    DWORD cancelId = 0;
    EnterServerCall(drv);
    HRESULT hr = drv.asyncIo->Refresh2(OPC_DS_CACHE, kRefreshTransaction, &cancelId);
    if (!LeaveServerCall(drv)) return false;
    if (hr != S_OK) EmitTraceLine(drv, kTraceRefused);
    return true;
}
