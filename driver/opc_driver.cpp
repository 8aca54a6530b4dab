#include "driver/opc_driver.h"

#include <new>

#include "connection/change_inbox.h"
#include "connection/lifecycle.h"
#include "driver/message_table.h"
#include "hostrt/core.h"

OpcDriver* MakeDriverRecord()
{
    void* block = nullptr;
    if (!AllocBlock(&block, sizeof(OpcDriver))) return nullptr;
    OpcDriver* drv = new (block) OpcDriver;
    drv->shutdownSink.owner = drv;
    drv->dataSink.owner = drv;
    drv->messages = &kMessageTable;
    drv->supervision.exchange = &kExchangeSteps;
    return drv;
}

void FreeDriverRecord(OpcDriver*& drv)
{
    if (drv == nullptr) return;
    OpcDriver* record = drv;
    drv = nullptr;
    // Done first (a host that disposes of an instance without Done would otherwise leave its window, its
    // worker and its COM references behind); its end frees the record, at once or, inside one of the
    // instance's own server calls (host code run by COM's modal loop), at the outermost call's return.
    record->disposeAsked = true;
    Done(*record);
}

void HoldDriverRecord(OpcDriver& drv)
{
    drv.holders.fetch_add(1);
}

void ReleaseDriverRecord(OpcDriver*& drv)
{
    OpcDriver* record = drv;
    drv = nullptr;
    if (record->holders.fetch_sub(1) != 1) return;
    // Done leaves these to the last holder while a worker it gave up on may still use them.
    ClearChannels(*record);
    DiscardChanges(*record);
    ReleaseSyncReadBatch(*record);
    ReleaseSyncWriteBatch(*record);
    // No destructor runs: everything the record refers to has been released.
    FreeBlock(record);
}

void ClearChannels(OpcDriver& drv)
{
    ReleaseChannelIndex(drv.channelIndex);
    drv.channels.Clear();
}
