#include "exchange/write_cycle.h"

#include <objbase.h>

#include "opcda.h"

#include "connection/message_window.h"
#include "convert/caller_exchange.h"
#include "convert/value_to_variant.h"
#include "driver/opc_driver.h"
#include "exchange/batch.h"
#include "hostrt/core.h"
#include "idl/opc_constants.h"

namespace {

constexpr wchar_t kTraceWrite[] = L"IOPCAsyncIO2->Write(...)";
constexpr wchar_t kTraceRejected[] = L"OutputRequestCompleted: hr = S_FALSE";
constexpr wchar_t kTraceFailed[] = L"OutputRequestCompleted: hr <> S_OK";
constexpr wchar_t kTraceItemFailed[] = L"ItemWriteComplete: (MasterError < 0) or (Error <> S_OK)";
constexpr wchar_t kTraceReadOnly[] = L"OutputFinalized: write attempt to read-only channel";

// The VARIANT is built now, from what the channel holds at the issue; its conversion result is not
// judged here: the server's verdict on what it receives becomes the channel's status.
void BuildWriteValue(const Channel& channel, VARIANT& value)
{
    VariantInit(&value);
    if (channel.count > 0) {
        ValuesToVariant(channel.count, channel.elements, value);
    } else {
        ValueToVariant(channel.value, value);
    }
}

HRESULT IssueAsyncWrite(OpcDriver& drv, std::uint32_t count, std::uint32_t*& handles, VARIANT*& values,
                        HRESULT** errors)
{
    TraceLine(drv, nullptr, MakeTraceText(kTraceWrite));
    DWORD cancelId = 0;
    HRESULT hr = drv.asyncIo->Write(count, reinterpret_cast<OPCHANDLE*>(handles), values,
                                    drv.writeBatch.transactionId, &cancelId, errors);
    FreeBlock(handles);
    ReleaseWriteValues(count, values);
    return hr;
}

// The worker writes syncWriteValues and answers with MsgSyncWriteDone; the arrays are its until then.
HRESULT HandOffWrite(OpcDriver& drv, Channel* const* batch, std::uint32_t count, std::uint32_t*& handles,
                     VARIANT*& values)
{
    drv.syncWriteNumber = drv.writeBatch.transactionId;
    drv.syncWriteCount = count;
    drv.syncWriteHandles = handles;
    drv.syncWriteValues = values;
    handles = nullptr;
    values = nullptr;
    HRESULT hr = HandOffToWorker(drv, batch, count, drv.syncWriteChannels, drv.writeEvent);
    if (hr != S_OK) ReleaseSyncWriteBatch(drv);
    return hr;
}

} // namespace

extern const BatchKind kWriteBatch = {
    WriteActive,
    WriteAgain,
    InWriteQueue,
    WriteOutstanding,
    OPC_WRITEABLE,
    &Channel::writeStatus,
    &Channel::nextWrite,
    &OpcDriver::writeHead,
    &OpcDriver::writeTail,
    &OpcDriver::writeCount,
    &OpcDriver::writeBatch,
    &OpcDriver::syncWriteNumber,
    &OpcDriver::syncWriteAnswered,
    &OpcDriver::syncWriteChannels,
    OutputRequestCompleted,
    MsgIssueWrite,
    MsgNotifyWrite,
    1,
    MsgIssueWrite, // the limit's timer is named by the issue message: distinct, non-zero, readable
    MakeTraceText(kTraceRejected),
    MakeTraceText(kTraceFailed),
    MakeTraceText(kTraceItemFailed),
    MakeTraceText(kTraceReadOnly),
};

void OutputRequest(OpcDriver& drv, std::uint32_t channel, const HostValue& value, bool wide)
{
    // A channel whose previous write is outstanding takes the new value at once: that write's VARIANT
    // was built at its issue.
    Channel* found = RequestableChannel(drv, kWriteBatch, channel);
    if (found == nullptr) return;
    StoreValue(value, ChannelSlot(*found, channel), wide);
    AppendToQueue(drv, kWriteBatch, *found);
}

void OutputRequestCompleted(OpcDriver& drv)
{
    IssueMode mode = IssueModeNow(drv, kWriteBatch);
    if (mode == IssueMode::None) return;
    std::uint32_t count = 0;
    Channel** batch = TakeBatch(drv, kWriteBatch, count);
    if (batch == nullptr) return;
    std::uint32_t* handles = nullptr;
    VARIANT* values = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = E_OUTOFMEMORY;
    if (AllocBlock(handles, count * sizeof(std::uint32_t)) && AllocBlock(values, count * sizeof(VARIANT))) {
        for (std::uint32_t i = 0; i < count; ++i) {
            handles[i] = batch[i]->serverHandle;
            BuildWriteValue(*batch[i], values[i]);
        }
        hr = mode == IssueMode::Async ? IssueAsyncWrite(drv, count, handles, values, &errors)
                                      : HandOffWrite(drv, batch, count, handles, values);
    }
    FreeBlock(handles);
    FinishIssue(drv, kWriteBatch, batch, count, hr, errors);
}

bool OutputFinalized(OpcDriver& drv, std::uint32_t channel, std::uint32_t* status)
{
    return Finalized(drv, kWriteBatch, channel, status);
}
