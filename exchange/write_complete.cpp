// The end of a write batch: the server's OnWriteComplete (asynchronous mode), the worker's answer
// (synchronous mode), and the per-item result both apply.

#include "exchange/write_cycle.h"

#include "connection/supervision.h"
#include "driver/opc_driver.h"
#include "exchange/batch.h"
#include "exchange/item_complete.h"

namespace {

constexpr wchar_t kTraceOnWriteComplete[] = L"IOPCDataCallback->OnWriteComplete(...)";

} // namespace

void ItemWriteComplete(OpcDriver& drv, HRESULT masterError, DWORD clientHandle, HRESULT itemError)
{
    Channel* channel = LookUpChannel(drv.channelIndex, clientHandle);
    if (channel == nullptr || !TakeOutstanding(drv, kWriteBatch, *channel)) return;
    // A success code other than S_OK is a failure too: servers have been seen to return garbage there.
    if (masterError < 0 || itemError != S_OK) {
        SetChannelFailed(drv, kWriteBatch, *channel, kWriteBatch.itemFailed);
        return;
    }
    channel->writeStatus = StatusOk;
}

HRESULT OnWriteComplete(OpcDriver& drv, DWORD transactionId, DWORD, HRESULT masterError, DWORD count,
                        const DWORD* clientHandles, const HRESULT* errors)
{
    TraceLine(drv, nullptr, MakeTraceText(kTraceOnWriteComplete));
    if (IsServerDown(drv) || count == 0) return S_OK;
    if (!AcceptsCompletion(drv, kWriteBatch, transactionId)) return S_OK;
    // Items of a completion without its arrays are not applied; the batch's end fails them.
    for (DWORD i = 0; clientHandles != nullptr && errors != nullptr && i < count; ++i) {
        ItemWriteComplete(drv, masterError, clientHandles[i], errors[i]);
    }
    CompleteBatch(drv, kWriteBatch);
    return S_OK;
}

void SyncWriteComplete(OpcDriver& drv)
{
    // Reached only through the guard of its row (SyncAnswerAwaited): the worker has answered this batch.
    HRESULT result = drv.syncWriteResult;
    bool answered = result >= 0 && drv.syncWriteErrors != nullptr;
    HRESULT master = answered || result < 0 ? result : E_FAIL;
    for (std::uint32_t i = 0; i < drv.syncWriteCount; ++i) {
        ItemWriteComplete(drv, master, drv.syncWriteChannels[i], answered ? drv.syncWriteErrors[i] : E_FAIL);
    }
    ReleaseSyncWriteBatch(drv);
    CompleteBatch(drv, kWriteBatch);
    JudgeServerResult(drv, result);
}
