#pragma once
// Data changes that reach the worker's apartment (synchronous mode with subscribe) wait here for the host's
// thread, which owns the channels. The worker copies the server's arrays into a block of its own, links it
// under the supervision lock and posts MsgDataChange when the inbox was empty; the host's thread takes every
// block at once and applies them in order. Neither thread waits for the other beyond that lock, which is
// held only to link or unlink blocks.

#include <cstdint>

#include <windows.h>
#include <oaidl.h>

#include "connection/subscription_state.h"

struct OpcDriver;

// One OnDataChange (or the first cache read of a connection): count items, each array count long, in one
// block from the core allocator.
struct ChangeBlock {
    ChangeBlock* next;
    std::uint32_t count;
    HRESULT masterError;
    DWORD* clientHandles;
    VARIANT* values;
    WORD* qualities;
    FILETIME* timestamps;
    HRESULT* errors;
};

constexpr std::uint32_t MsgDataChange = 1033;

// A block for count items, every value empty; null when memory runs out.
ChangeBlock* NewChangeBlock(std::uint32_t count, HRESULT masterError);
// Item i as the server delivered it, its value copied (VariantCopy); a value that cannot be copied stays
// empty with the error E_OUTOFMEMORY.
void SetChange(ChangeBlock& block, std::uint32_t i, DWORD clientHandle, const VARIANT& value, WORD quality,
               const FILETIME& timestamp, HRESULT error);
// Links block at the inbox's end if accept(drv), evaluated under the supervision lock, still holds then;
// posts MsgDataChange when the inbox was empty. False, with the block freed, when it was not accepted.
bool QueueChanges(OpcDriver& drv, ChangeBlock*& block, bool (*accept)(const OpcDriver& drv));
// Every block waiting, oldest first; the inbox is empty afterwards. The caller frees them.
ChangeBlock* TakeChanges(OpcDriver& drv);
// Clears the block's values and frees it, and every block after it; block becomes null.
void FreeChanges(ChangeBlock*& block);
// Frees whatever waits; safe to repeat.
void DiscardChanges(OpcDriver& drv);
