#include "exchange/read_cycle.h"

#include "driver/opc_driver.h"

void InputRequest(OpcDriver&, std::uint32_t) {}

void InputRequestCompleted(OpcDriver&) {}

bool InputFinalized(OpcDriver&, std::uint32_t, std::uint32_t*) { return false; }

void GetInput3(OpcDriver&, std::uint32_t, HostValue*, std::uint32_t*, HostTimestamp*, bool) {}

HRESULT OnReadComplete(OpcDriver&, DWORD, DWORD, HRESULT, HRESULT, DWORD, const DWORD*, VARIANT*, const WORD*,
                       const FILETIME*, const HRESULT*)
{
    return S_OK;
}

void SyncReadComplete(OpcDriver&) {}

void DeliverReadNotification(OpcDriver&) {}
