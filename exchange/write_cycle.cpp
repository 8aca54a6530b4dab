#include "exchange/write_cycle.h"

#include "driver/opc_driver.h"

void OutputRequest(OpcDriver&, std::uint32_t, const HostValue&, bool) {}

void OutputRequestCompleted(OpcDriver&) {}

bool OutputFinalized(OpcDriver&, std::uint32_t, std::uint32_t*) { return false; }

HRESULT OnWriteComplete(OpcDriver&, DWORD, DWORD, HRESULT, DWORD, const DWORD*, const HRESULT*) { return S_OK; }

void SyncWriteComplete(OpcDriver&) {}

void DeliverWriteNotification(OpcDriver&) {}
