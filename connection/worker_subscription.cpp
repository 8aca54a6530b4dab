#include "connection/worker_subscription.h"

#include <objbase.h>

#include "opcda.h"

#include "connection/change_inbox.h"
#include "driver/debug_trace.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kTraceFirstRead[] = L"IOPCSyncIO->Read( OPC_DS_CACHE, ...), first values";

// Under the supervision lock: the calling thread holds the instance's connection, and it is not being
// let go.
bool FromCurrentConnection(const OpcDriver& drv)
{
    return drv.supervision.connectionThread.load() == GetCurrentThreadId() && !drv.supervision.letGo;
}

} // namespace

void QueueDataChange(OpcDriver& drv, HRESULT masterError, DWORD count, const DWORD* clientHandles,
                     const VARIANT* values, const WORD* qualities, const FILETIME* timestamps,
                     const HRESULT* errors)
{
    if (count == 0 || clientHandles == nullptr || values == nullptr || qualities == nullptr ||
        timestamps == nullptr || errors == nullptr)
        return;
    ChangeBlock* block = NewChangeBlock(count, masterError);
    if (block == nullptr) return;
    for (DWORD i = 0; i < count; ++i)
        SetChange(*block, i, clientHandles[i], values[i], qualities[i], timestamps[i], errors[i]);
    QueueChanges(drv, block, FromCurrentConnection);
}

void ReadFirstValues(OpcDriver& drv, IOPCSyncIO& syncIo)
{
    std::uint32_t count = drv.channels.Count;
    std::uint32_t* handles = nullptr;
    if (count == 0 || !AllocBlock(handles, count * sizeof(std::uint32_t))) return;
    OrderedItem* item = nullptr;
    bool more = drv.channels.First(&item);
    for (std::uint32_t i = 0; more && i < count; ++i) {
        handles[i] = static_cast<Channel*>(item)->serverHandle;
        more = drv.channels.Next(item, &item);
    }
    EmitTraceLine(drv, kTraceFirstRead);
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = syncIo.Read(OPC_DS_CACHE, count, reinterpret_cast<OPCHANDLE*>(handles), &states, &errors);
    ChangeBlock* block = (hr == S_OK || hr == S_FALSE) && states != nullptr && errors != nullptr
                             ? NewChangeBlock(count, hr)
                             : nullptr;
    if (block != nullptr) {
        // The channel comes from the table's order, not from the client handle the server returns.
        more = drv.channels.First(&item);
        for (std::uint32_t i = 0; more && i < count; ++i) {
            const OPCITEMSTATE& state = states[i];
            SetChange(*block, i, static_cast<Channel*>(item)->firstNumber, state.vDataValue, state.wQuality,
                      state.ftTimeStamp, errors[i]);
            more = drv.channels.Next(item, &item);
        }
        QueueChanges(drv, block, FromCurrentConnection);
    }
    ReleaseReadResults(count, states, errors);
    FreeBlock(handles);
}
