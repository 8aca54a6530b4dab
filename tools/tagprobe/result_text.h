#pragma once
// What the driver reports, in words: channel statuses, quality levels, timestamps, access rights and
// COM result codes.

#include <cstdint>
#include <string>

#include <windows.h>

#include "convert/value_record.h"

// "ok", "server down", "failed", "no channel", "wrong direction", or "status N".
std::wstring StatusName(std::uint32_t status);
// "750 good", "500 uncertain", "0 bad", or the bare number for a level the driver never gives.
std::wstring QualityText(std::uint32_t level);
// The all-zero timestamp of a channel that holds no server time.
bool IsNoTimestamp(const HostTimestamp& timestamp);
// ISO 8601 in UTC with milliseconds ("2024-05-17T13:44:59.123Z"); "-" for the all-zero timestamp of a
// channel that holds no server time.
std::wstring TimestampText(const HostTimestamp& timestamp);
// "read", "write", "read/write", "none", or the bits in hexadecimal when others are set.
std::wstring AccessText(std::uint32_t rights);
// "0x80040154 REGDB_E_CLASSNOTREG: the server is not registered on this machine", or the bare code.
std::wstring ResultText(HRESULT hr);
