#pragma once
// The per-item end of a batch, shared by the asynchronous completion (the server's callback) and the
// synchronous one (the worker's message): a channel's state after completion does not depend on the mode.

#include <windows.h>
#include <oaidl.h>

struct OpcDriver;
class Channel;

// Stores a good item's value (converted for the channel), quality level and timestamp (UTC) into the
// channel. False when the value cannot be stored: then value, quality and timestamp are unchanged.
bool StoreItemState(Channel& channel, const VARIANT& value, WORD quality, const FILETIME& timestamp);
// Applies one item's read result to the channel numbered clientHandle, if that channel is waiting for
// it. A failed item or a value that cannot be stored keeps the channel's value, quality and timestamp.
void ItemReadComplete(OpcDriver& drv, HRESULT masterError, DWORD clientHandle, const VARIANT& value,
                      WORD quality, const FILETIME& timestamp, HRESULT itemError);
// Applies one item's write result to the channel numbered clientHandle, if that channel is waiting for it.
void ItemWriteComplete(OpcDriver& drv, HRESULT masterError, DWORD clientHandle, HRESULT itemError);
