#include "exchange/subscription.h"

#include "connection/change_inbox.h"
#include "connection/supervision.h"
#include "driver/opc_driver.h"
#include "exchange/batch.h"
#include "exchange/item_complete.h"

namespace {

constexpr wchar_t kTraceOnDataChange[] = L"IOPCDataCallback->OnDataChange(...)";
constexpr wchar_t kTraceItemFailed[] = L"OnDataChange: (MasterError < 0) or (Error <> S_OK)";
constexpr wchar_t kTraceNotStored[] = L"OnDataChange: VariantToValue failed";

} // namespace

void ApplyDataChange(OpcDriver& drv, HRESULT masterError, DWORD count, const DWORD* clientHandles,
                     const VARIANT* values, const WORD* qualities, const FILETIME* timestamps,
                     const HRESULT* errors)
{
    TraceLine(drv, nullptr, MakeTraceText(kTraceOnDataChange));
    // A change of a connection being let go, or from before the recovery's reset, is never stored.
    if (!ServerConnected(drv) || !HasFlag(drv, Subscribe)) return;
    if (clientHandles == nullptr || values == nullptr || qualities == nullptr || timestamps == nullptr ||
        errors == nullptr)
        return;
    for (DWORD i = 0; i < count; ++i) {
        Channel* channel = LookUpChannel(drv.channelIndex, clientHandles[i]);
        if (channel == nullptr) continue;
        // A success code other than S_OK is a failure, as in a read's completion.
        if (masterError < 0 || errors[i] != S_OK) {
            SetChannelFailed(drv, kReadBatch, *channel, MakeTraceText(kTraceItemFailed));
        } else if (!StoreItemState(*channel, values[i], qualities[i], timestamps[i])) {
            SetChannelFailed(drv, kReadBatch, *channel, MakeTraceText(kTraceNotStored));
        } else {
            channel->readStatus = StatusOk;
        }
    }
}

void AnswerFromChanges(OpcDriver& drv)
{
    if (IsServerDown(drv) || !drv.ready) return;
    EndQueueAtOnce(drv, kReadBatch);
}

bool ChangesAwaited(const OpcDriver& drv)
{
    return HasFlag(drv, Subscribe) && ServerConnected(drv);
}

void ApplyQueuedChanges(OpcDriver& drv)
{
    ChangeBlock* blocks = TakeChanges(drv);
    for (ChangeBlock* block = blocks; block != nullptr; block = block->next) {
        ApplyDataChange(drv, block->masterError, block->count, block->clientHandles, block->values,
                        block->qualities, block->timestamps, block->errors);
    }
    FreeChanges(blocks);
}
