#include "connection/change_inbox.h"

#include <cstddef>

#include <oleauto.h>

#include "connection/message_window.h"
#include "connection/supervision_lock.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

// The arrays follow the header in one block, each aligned for its element.
std::size_t Align(std::size_t offset, std::size_t alignment)
{
    return (offset + alignment - 1) / alignment * alignment;
}

} // namespace

ChangeBlock* NewChangeBlock(std::uint32_t count, HRESULT masterError)
{
    std::size_t valuesAt = Align(sizeof(ChangeBlock), alignof(VARIANT));
    std::size_t timesAt = Align(valuesAt + count * sizeof(VARIANT), alignof(FILETIME));
    std::size_t handlesAt = Align(timesAt + count * sizeof(FILETIME), alignof(DWORD));
    std::size_t errorsAt = Align(handlesAt + count * sizeof(DWORD), alignof(HRESULT));
    std::size_t qualitiesAt = Align(errorsAt + count * sizeof(HRESULT), alignof(WORD));
    std::size_t size = qualitiesAt + count * sizeof(WORD);
    if (size > 0xFFFFFFFFu) return nullptr;
    char* bytes = nullptr;
    if (!AllocBlock(bytes, static_cast<std::uint32_t>(size))) return nullptr;
    ChangeBlock* block = reinterpret_cast<ChangeBlock*>(bytes);
    *block = ChangeBlock{nullptr,
                         count,
                         masterError,
                         reinterpret_cast<DWORD*>(bytes + handlesAt),
                         reinterpret_cast<VARIANT*>(bytes + valuesAt),
                         reinterpret_cast<WORD*>(bytes + qualitiesAt),
                         reinterpret_cast<FILETIME*>(bytes + timesAt),
                         reinterpret_cast<HRESULT*>(bytes + errorsAt)};
    for (std::uint32_t i = 0; i < count; ++i)
        VariantInit(&block->values[i]);
    return block;
}

void SetChange(ChangeBlock& block, std::uint32_t i, DWORD clientHandle, const VARIANT& value, WORD quality,
               const FILETIME& timestamp, HRESULT error)
{
    block.clientHandles[i] = clientHandle;
    block.qualities[i] = quality;
    block.timestamps[i] = timestamp;
    block.errors[i] = error;
    VariantClear(&block.values[i]);
    if (VariantCopy(&block.values[i], const_cast<VARIANT*>(&value)) != S_OK) {
        VariantInit(&block.values[i]);
        block.errors[i] = E_OUTOFMEMORY;
    }
}

bool QueueChanges(OpcDriver& drv, ChangeBlock*& block, bool (*accept)(const OpcDriver& drv))
{
    bool wasEmpty = false;
    {
        SupervisionLock held(drv);
        if (accept(drv)) {
            wasEmpty = drv.changes.head == nullptr;
            if (wasEmpty) {
                drv.changes.head = block;
            } else {
                drv.changes.tail->next = block;
            }
            drv.changes.tail = block;
            block = nullptr;
        }
    }
    if (block != nullptr) {
        FreeChanges(block);
        return false;
    }
    if (wasEmpty) PostToWindow(drv, MsgDataChange, 0);
    return true;
}

ChangeBlock* TakeChanges(OpcDriver& drv)
{
    SupervisionLock held(drv);
    ChangeBlock* taken = drv.changes.head;
    drv.changes.head = nullptr;
    drv.changes.tail = nullptr;
    return taken;
}

void FreeChanges(ChangeBlock*& block)
{
    while (block != nullptr) {
        ChangeBlock* next = block->next;
        for (std::uint32_t i = 0; i < block->count; ++i)
            VariantClear(&block->values[i]);
        FreeBlock(block);
        block = next;
    }
}

void DiscardChanges(OpcDriver& drv)
{
    ChangeBlock* taken = TakeChanges(drv);
    FreeChanges(taken);
}
