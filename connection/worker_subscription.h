#pragma once
// The worker's side of subscribe (synchronous mode): the data changes that the server sends to its
// apartment go to the host's thread through the inbox (connection/change_inbox.h), and each new
// connection starts with one cache read of every item, handed over the same way (the worker makes it
// right after it reported the connection, connection/worker_service.cpp).

#include <windows.h>
#include <oaidl.h>

struct OpcDriver;
struct IOPCSyncIO;

// In the worker's thread, right after it connected: syncIo->Read from the cache for every channel.
// Items the read fails are left without a value (they report as never read until their first change).
void ReadFirstValues(OpcDriver& drv, IOPCSyncIO& syncIo);
// A data change that reached the worker's apartment: queued for the host's thread when it belongs to
// the instance's connection of now (not one that is being let go, nor one of a worker given up on).
void QueueDataChange(OpcDriver& drv, HRESULT masterError, DWORD count, const DWORD* clientHandles,
                     const VARIANT* values, const WORD* qualities, const FILETIME* timestamps,
                     const HRESULT* errors);
