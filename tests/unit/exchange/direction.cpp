#include "tests/unit/exchange/direction.h"

#include <cstring>

#include <objbase.h>

#include "opcda.h"

#include "connection/message_window.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"
#include "idl/opc_constants.h"
#include "tests/unit/exchange/exchange_fixture.h"

namespace {

void RequestRead(OpcDriver& drv, std::uint32_t channel)
{
    InputRequest(drv, channel);
}

void RequestWrite(OpcDriver& drv, std::uint32_t channel)
{
    HostValue value{TypeI32, {}};
    std::int32_t number = static_cast<std::int32_t>(channel);
    std::memcpy(value.payload, &number, sizeof(number));
    OutputRequest(drv, channel, value, false);
}

HRESULT CompleteReadItems(OpcDriver& drv, DWORD transactionId, HRESULT masterError,
                          const std::vector<std::uint32_t>& channels, const std::vector<HRESULT>& errors)
{
    std::vector<ReadItem> items;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        ReadItem item = GoodItem(channels[i], static_cast<std::int32_t>(channels[i]));
        item.error = errors[i];
        items.push_back(item);
    }
    return CompleteRead(drv, transactionId, masterError, items);
}

HRESULT* ErrorArray(std::uint32_t count, const std::vector<HRESULT>& errors)
{
    auto* array = static_cast<HRESULT*>(CoTaskMemAlloc(count * sizeof(HRESULT)));
    for (std::uint32_t i = 0; i < count; ++i)
        array[i] = i < errors.size() ? errors[i] : S_OK;
    return array;
}

void ServeSyncRead(OpcDriver& drv, HRESULT result, const std::vector<HRESULT>& errors, bool withArrays)
{
    drv.syncReadResult = result;
    if (withArrays) {
        auto* states = static_cast<OPCITEMSTATE*>(CoTaskMemAlloc(drv.syncReadCount * sizeof(OPCITEMSTATE)));
        for (std::uint32_t i = 0; i < drv.syncReadCount; ++i) {
            states[i] =
                OPCITEMSTATE{drv.syncReadHandles[i], UtcTime(2024, 5, 17, 13, 45, 30, 250), OPC_QUALITY_GOOD,
                             0, I4(static_cast<std::int32_t>(drv.syncReadChannels[i]))};
        }
        drv.syncReadStates = states;
        drv.syncReadErrors = ErrorArray(drv.syncReadCount, errors);
    }
    drv.syncReadAnswered.store(drv.syncReadNumber);
    SendMessageA(drv.window, MsgSyncReadDone, drv.syncReadNumber, 0);
}

void ServeSyncWrite(OpcDriver& drv, HRESULT result, const std::vector<HRESULT>& errors, bool withArrays)
{
    drv.syncWriteResult = result;
    if (withArrays) drv.syncWriteErrors = ErrorArray(drv.syncWriteCount, errors);
    drv.syncWriteAnswered.store(drv.syncWriteNumber);
    SendMessageA(drv.window, MsgSyncWriteDone, drv.syncWriteNumber, 0);
}

} // namespace

const Direction kReading = {
    "Reading",
    &kReadBatch,
    0,
    ReadActive,
    ReadAgain,
    kWriteOnly,
    RequestRead,
    InputRequestCompleted,
    InputFinalized,
    CompleteReadItems,
    ServeSyncRead,
    &OpcDriver::syncReadCount,
    &OpcDriver::syncReadHandles,
    &OpcDriver::syncReadChannels,
    &OpcDriver::readEvent,
    MsgSyncReadDone,
    L"IOPCAsyncIO2->Read(...)",
    L"IOPCDataCallback->OnReadComplete(...)",
    L"InputRequestCompleted: hr = S_FALSE",
    L"InputRequestCompleted: hr <> S_OK",
    L"ItemReadComplete: (MasterError < 0) or (Error <> S_OK)",
    L"InputFinalized: read attempt on write-only item",
};

const Direction kWriting = {
    "Writing",
    &kWriteBatch,
    1,
    WriteActive,
    WriteAgain,
    kReadOnly,
    RequestWrite,
    OutputRequestCompleted,
    OutputFinalized,
    CompleteWrite,
    ServeSyncWrite,
    &OpcDriver::syncWriteCount,
    &OpcDriver::syncWriteHandles,
    &OpcDriver::syncWriteChannels,
    &OpcDriver::writeEvent,
    MsgSyncWriteDone,
    L"IOPCAsyncIO2->Write(...)",
    L"IOPCDataCallback->OnWriteComplete(...)",
    L"OutputRequestCompleted: hr = S_FALSE",
    L"OutputRequestCompleted: hr <> S_OK",
    L"ItemWriteComplete: (MasterError < 0) or (Error <> S_OK)",
    L"OutputFinalized: write attempt to read-only channel",
};
