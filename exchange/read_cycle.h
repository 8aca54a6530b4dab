#pragma once
// The read cycle: the host queues channels, fires the batch, is notified, then collects each channel.

#include <cstdint>

#include <windows.h>
#include <oaidl.h>

#include "convert/value_record.h"

struct OpcDriver;

void InputRequest(OpcDriver& drv, std::uint32_t channel);
void InputRequestCompleted(OpcDriver& drv);
// True when the channel's read is finished; *status then holds its outcome.
bool InputFinalized(OpcDriver& drv, std::uint32_t channel, std::uint32_t* status);
// wide: the caller's text width (false ANSI, true UTF-16).
void GetInput3(OpcDriver& drv, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
               HostTimestamp* timestamp, bool wide);

// Completions: the server's IOPCDataCallback::OnReadComplete (asynchronous mode), and the worker's
// MsgSyncReadDone (synchronous mode). Both run in the host's thread.
HRESULT OnReadComplete(OpcDriver& drv, DWORD transactionId, DWORD groupHandle, HRESULT masterQuality,
                       HRESULT masterError, DWORD count, const DWORD* clientHandles, VARIANT* values,
                       const WORD* qualities, const FILETIME* timestamps, const HRESULT* errors);
void SyncReadComplete(OpcDriver& drv);
