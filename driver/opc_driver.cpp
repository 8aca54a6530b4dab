#include "driver/opc_driver.h"

#include <new>

#include "hostrt/core.h"

OpcDriver* MakeDriverRecord()
{
    void* block = nullptr;
    if (!AllocBlock(&block, sizeof(OpcDriver))) return nullptr;
    OpcDriver* drv = new (block) OpcDriver;
    drv->shutdownSink.owner = drv;
    drv->dataSink.owner = drv;
    return drv;
}

void FreeDriverRecord(OpcDriver*& drv)
{
    // No destructor runs: Done has released everything the record refers to.
    FreeBlock(drv);
}
