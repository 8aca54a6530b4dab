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

void ReleaseSyncReadBatch(OpcDriver& drv)
{
    FreeBlock(drv.syncReadHandles);
    FreeBlock(drv.syncReadChannels);
    if (drv.syncReadStates != nullptr) {
        for (std::uint32_t i = 0; i < drv.syncReadCount; ++i)
            VariantClear(&drv.syncReadStates[i].vDataValue);
    }
    FreeTaskMemory(drv.syncReadStates);
    FreeTaskMemory(drv.syncReadErrors);
}

void ReleaseSyncWriteBatch(OpcDriver& drv)
{
    FreeBlock(drv.syncWriteHandles);
    FreeBlock(drv.syncWriteChannels);
    if (drv.syncWriteValues != nullptr) {
        for (std::uint32_t i = 0; i < drv.syncWriteCount; ++i)
            VariantClear(&drv.syncWriteValues[i]);
        FreeBlock(drv.syncWriteValues);
    }
    FreeTaskMemory(drv.syncWriteErrors);
}
