#include "exchange/read_cycle.h"

#include <objbase.h>

#include "opcda.h"

#include "connection/message_window.h"
#include "convert/caller_exchange.h"
#include "driver/opc_driver.h"
#include "exchange/batch.h"
#include "exchange/subscription.h"
#include "hostrt/core.h"
#include "idl/opc_constants.h"

static_assert(sizeof(OPCHANDLE) == sizeof(std::uint32_t), "server handles travel as 32-bit words");

namespace {

constexpr wchar_t kTraceRead[] = L"IOPCAsyncIO2->Read(...)";
constexpr wchar_t kTraceRejected[] = L"InputRequestCompleted: hr = S_FALSE";
constexpr wchar_t kTraceFailed[] = L"InputRequestCompleted: hr <> S_OK";
constexpr wchar_t kTraceItemFailed[] = L"ItemReadComplete: (MasterError < 0) or (Error <> S_OK)";
constexpr wchar_t kTraceWriteOnly[] = L"InputFinalized: read attempt on write-only item";

HRESULT IssueAsyncRead(OpcDriver& drv, std::uint32_t count, std::uint32_t* handles, HRESULT** errors)
{
    TraceLine(drv, nullptr, MakeTraceText(kTraceRead));
    DWORD cancelId = 0;
    return drv.asyncIo->Read(count, reinterpret_cast<OPCHANDLE*>(handles), drv.readBatch.transactionId,
                             &cancelId, errors);
}

// The worker reads syncReadHandles and answers with MsgSyncReadDone; the arrays are its until then.
HRESULT HandOffRead(OpcDriver& drv, Channel* const* batch, std::uint32_t count, std::uint32_t*& handles)
{
    drv.syncReadNumber = drv.readBatch.transactionId;
    drv.syncReadCount = count;
    drv.syncReadHandles = handles;
    handles = nullptr;
    HRESULT hr = HandOffToWorker(drv, batch, count, drv.syncReadChannels, drv.readEvent);
    if (hr != S_OK) ReleaseSyncReadBatch(drv);
    return hr;
}

} // namespace

extern const BatchKind kReadBatch = {
    ReadActive,
    ReadAgain,
    InReadQueue,
    ReadOutstanding,
    OPC_READABLE,
    &Channel::readStatus,
    &Channel::nextRead,
    &OpcDriver::readHead,
    &OpcDriver::readTail,
    &OpcDriver::readCount,
    &OpcDriver::readBatch,
    &OpcDriver::syncReadNumber,
    &OpcDriver::syncReadAnswered,
    &OpcDriver::syncReadChannels,
    InputRequestCompleted,
    MsgIssueRead,
    MsgNotifyRead,
    0,
    MsgIssueRead, // the limit's timer is named by the issue message: distinct, non-zero, readable
    MakeTraceText(kTraceRejected),
    MakeTraceText(kTraceFailed),
    MakeTraceText(kTraceItemFailed),
    MakeTraceText(kTraceWriteOnly),
};

void InputRequest(OpcDriver& drv, std::uint32_t channel)
{
    // A channel whose previous read is still outstanding may be queued for the next batch.
    Channel* found = RequestableChannel(drv, kReadBatch, channel);
    if (found != nullptr) AppendToQueue(drv, kReadBatch, *found);
}

void InputRequestCompleted(OpcDriver& drv)
{
    if (HasFlag(drv, Subscribe)) {
        AnswerFromChanges(drv);
        return;
    }
    IssueMode mode = IssueModeNow(drv, kReadBatch);
    if (mode == IssueMode::None) return;
    std::uint32_t count = 0;
    Channel** batch = TakeBatch(drv, kReadBatch, count);
    if (batch == nullptr) return;
    std::uint32_t* handles = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = E_OUTOFMEMORY;
    if (AllocBlock(handles, count * sizeof(std::uint32_t))) {
        for (std::uint32_t i = 0; i < count; ++i)
            handles[i] = batch[i]->serverHandle;
        hr = mode == IssueMode::Async ? IssueAsyncRead(drv, count, handles, &errors)
                                      : HandOffRead(drv, batch, count, handles);
    }
    FreeBlock(handles);
    FinishIssue(drv, kReadBatch, batch, count, hr, errors);
}

bool InputFinalized(OpcDriver& drv, std::uint32_t channel, std::uint32_t* status)
{
    return Finalized(drv, kReadBatch, channel, status);
}

void GetInput3(OpcDriver& drv, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
               HostTimestamp* timestamp, bool wide)
{
    if (IsServerDown(drv)) return;
    Channel* found = LookUpChannel(drv.channelIndex, channel);
    if (found == nullptr) return;
    // Whatever the channel holds: the last read, or a value stored by a write request since.
    bool delivered = value != nullptr && DeliverValue(ChannelSlot(*found, channel), *value, wide);
    if (quality != nullptr) *quality = delivered ? found->quality : 0;
    if (timestamp != nullptr) *timestamp = found->timestamp;
}
