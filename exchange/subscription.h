#pragma once
// Subscribe: the server's data changes keep each channel's latest value, quality, timestamp and read
// status, and a read batch is answered from them without a call to the server. Everything here runs in
// the host's thread: the changes arrive there directly (asynchronous mode) or through the inbox that the
// worker fills (synchronous mode, connection/change_inbox.h).

#include <windows.h>
#include <oaidl.h>

struct OpcDriver;

// One OnDataChange: each item's value is stored with the same conversions and checks as a read's
// completion; an item that fails, or whose value cannot be stored, leaves the channel StatusFailed with
// its previous value, quality and timestamp. Nothing is stored while the instance is not connected.
void ApplyDataChange(OpcDriver& drv, HRESULT masterError, DWORD count, const DWORD* clientHandles,
                     const VARIANT* values, const WORD* qualities, const FILETIME* timestamps,
                     const HRESULT* errors);
// The read batch: every queued channel is finished at once with the status of its latest change (never
// read until its first one), and the host's notification is posted as for a read's completion.
void AnswerFromChanges(OpcDriver& drv);

// MsgDataChange (posted by the worker when its inbox was empty): the instance is connected with
// subscribe. Changes that arrive while it is not wait for the recovery, which stores them; Init stores
// the worker's first values itself.
bool ChangesAwaited(const OpcDriver& drv);
void ApplyQueuedChanges(OpcDriver& drv);
