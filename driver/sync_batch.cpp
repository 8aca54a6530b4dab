// The synchronous batches: arrays the host's thread allocates for the worker, and the arrays the
// server returns through it.

#include "driver/opc_driver.h"

#include <objbase.h>

#include "opcda.h"

#include "hostrt/core.h"

namespace {

template <class T> void FreeTaskMemory(T*& array)
{
    if (array == nullptr) return;
    CoTaskMemFree(array);
    array = nullptr;
}

} // namespace

void ReleaseReadResults(std::uint32_t count, OPCITEMSTATE*& states, HRESULT*& errors)
{
    if (states != nullptr) {
        for (std::uint32_t i = 0; i < count; ++i)
            VariantClear(&states[i].vDataValue);
    }
    FreeTaskMemory(states);
    FreeTaskMemory(errors);
}

void ReleaseWriteValues(std::uint32_t count, VARIANT*& values)
{
    if (values == nullptr) return;
    for (std::uint32_t i = 0; i < count; ++i)
        VariantClear(&values[i]);
    FreeBlock(values);
}

void ReleaseSyncReadBatch(OpcDriver& drv)
{
    FreeBlock(drv.syncReadHandles);
    FreeBlock(drv.syncReadChannels);
    ReleaseReadResults(drv.syncReadCount, drv.syncReadStates, drv.syncReadErrors);
}

void ReleaseSyncWriteBatch(OpcDriver& drv)
{
    FreeBlock(drv.syncWriteHandles);
    FreeBlock(drv.syncWriteChannels);
    ReleaseWriteValues(drv.syncWriteCount, drv.syncWriteValues);
    FreeTaskMemory(drv.syncWriteErrors);
}
