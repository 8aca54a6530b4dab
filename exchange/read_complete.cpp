// The end of a read batch: the server's OnReadComplete (asynchronous mode), the worker's answer
// (synchronous mode), and the per-item result both apply.

#include "exchange/read_cycle.h"

#include "opcda.h"

#include "convert/quality_level.h"
#include "convert/variant_to_value.h"
#include "connection/supervision.h"
#include "driver/opc_driver.h"
#include "exchange/batch.h"
#include "exchange/item_complete.h"

namespace {

constexpr wchar_t kTraceOnReadComplete[] = L"IOPCDataCallback->OnReadComplete(...)";
constexpr wchar_t kTraceNotStored[] = L"ItemReadComplete: VariantToValue failed";

// The server's time stays UTC. A FILETIME beyond what a SYSTEMTIME holds gives the zero timestamp
// rather than whatever the failed conversion left behind.
HostTimestamp ToHostTimestamp(const FILETIME& time)
{
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(&time, &utc)) return HostTimestamp{};
    std::uint32_t ms = utc.wHour * 3600000u + utc.wMinute * 60000u + utc.wSecond * 1000u + utc.wMilliseconds;
    return HostTimestamp{ms, static_cast<std::uint8_t>(utc.wDay), static_cast<std::uint8_t>(utc.wMonth),
                         utc.wYear};
}

} // namespace

bool StoreItemState(Channel& channel, const VARIANT& value, WORD quality, const FILETIME& timestamp)
{
    bool stored = channel.count > 0 ? VariantToValues(value, channel.count, channel.elements)
                                    : VariantToValue(value, channel.value);
    if (!stored) return false;
    channel.quality = QualityLevel(quality);
    channel.timestamp = ToHostTimestamp(timestamp);
    return true;
}

void ItemReadComplete(OpcDriver& drv, HRESULT masterError, DWORD clientHandle, const VARIANT& value,
                      WORD quality, const FILETIME& timestamp, HRESULT itemError)
{
    Channel* channel = LookUpChannel(drv.channelIndex, clientHandle);
    if (channel == nullptr || !TakeOutstanding(drv, kReadBatch, *channel)) return;
    // A success code other than S_OK is a failure too: servers have been seen to return garbage there.
    if (masterError < 0 || itemError != S_OK) {
        SetChannelFailed(drv, kReadBatch, *channel, kReadBatch.itemFailed);
        return;
    }
    if (!StoreItemState(*channel, value, quality, timestamp)) {
        SetChannelFailed(drv, kReadBatch, *channel, MakeTraceText(kTraceNotStored));
        return;
    }
    channel->readStatus = StatusOk;
}

HRESULT OnReadComplete(OpcDriver& drv, DWORD transactionId, DWORD, HRESULT, HRESULT masterError, DWORD count,
                       const DWORD* clientHandles, VARIANT* values, const WORD* qualities,
                       const FILETIME* timestamps, const HRESULT* errors)
{
    TraceLine(drv, nullptr, MakeTraceText(kTraceOnReadComplete));
    if (IsServerDown(drv) || count == 0) return S_OK;
    if (!AcceptsCompletion(drv, kReadBatch, transactionId)) return S_OK;
    // Items of a completion without its arrays are not applied; the batch's end fails them.
    bool complete = clientHandles != nullptr && values != nullptr && qualities != nullptr &&
                    timestamps != nullptr && errors != nullptr;
    for (DWORD i = 0; complete && i < count; ++i) {
        ItemReadComplete(drv, masterError, clientHandles[i], values[i], qualities[i], timestamps[i],
                         errors[i]);
    }
    CompleteBatch(drv, kReadBatch);
    return S_OK;
}

void SyncReadComplete(OpcDriver& drv)
{
    // Reached only through the guard of its row (SyncAnswerAwaited): the worker has answered this batch.
    HRESULT result = drv.syncReadResult;
    bool answered = result >= 0 && drv.syncReadStates != nullptr && drv.syncReadErrors != nullptr;
    HRESULT master = answered || result < 0 ? result : E_FAIL;
    VARIANT empty;
    VariantInit(&empty);
    const FILETIME never{}; // not looked at: the item fails
    for (std::uint32_t i = 0; i < drv.syncReadCount; ++i) {
        if (answered) {
            const OPCITEMSTATE& state = drv.syncReadStates[i];
            ItemReadComplete(drv, master, drv.syncReadChannels[i], state.vDataValue, state.wQuality,
                             state.ftTimeStamp, drv.syncReadErrors[i]);
        } else {
            ItemReadComplete(drv, master, drv.syncReadChannels[i], empty, 0, never, E_FAIL);
        }
    }
    ReleaseSyncReadBatch(drv);
    CompleteBatch(drv, kReadBatch);
    JudgeServerResult(drv, result);
}
