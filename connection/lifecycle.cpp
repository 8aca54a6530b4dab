#include "connection/lifecycle.h"

#include "driver/opc_driver.h"

bool Init(OpcDriver&, std::uint32_t, const wchar_t*, std::uint32_t, wchar_t*, std::uint32_t, NotifyCallback)
{
    return false;
}

void Done(OpcDriver&) {}

void RecordModuleInstance(void*) {}

void UnregisterWindowClass() {}
