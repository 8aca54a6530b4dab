#pragma once
// The write cycle: the host stores values and queues channels, fires the batch, is notified, then
// collects each channel's status.

#include <cstdint>

#include <windows.h>

#include "convert/value_record.h"

struct OpcDriver;

// wide: the caller's text width (false ANSI, true UTF-16).
void OutputRequest(OpcDriver& drv, std::uint32_t channel, const HostValue& value, bool wide);
void OutputRequestCompleted(OpcDriver& drv);
// True when the channel's write is finished; *status then holds its outcome.
bool OutputFinalized(OpcDriver& drv, std::uint32_t channel, std::uint32_t* status);

HRESULT OnWriteComplete(OpcDriver& drv, DWORD transactionId, DWORD groupHandle, HRESULT masterError,
                        DWORD count, const DWORD* clientHandles, const HRESULT* errors);
void SyncWriteComplete(OpcDriver& drv);
