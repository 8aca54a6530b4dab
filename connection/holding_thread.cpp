#include "connection/holding_thread.h"

#include "driver/opc_driver.h"

namespace {

// Any address inside this module names it.
LPCWSTR ModuleAddress()
{
    return reinterpret_cast<LPCWSTR>(&StartHoldingThread);
}

} // namespace

HANDLE StartHoldingThread(OpcDriver& drv, LPTHREAD_START_ROUTINE main)
{
    // The thread's own reference on the module: a host that unloads the library while a thread it no
    // longer waits for still runs must not pull the code from under it.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, ModuleAddress(), &module)) return nullptr;
    HoldDriverRecord(drv);
    HANDLE thread = CreateThread(nullptr, 0, main, &drv, 0, nullptr);
    if (thread != nullptr) return thread;
    OpcDriver* record = &drv;
    ReleaseDriverRecord(record); // the host's own hold remains
    FreeLibrary(module);
    return nullptr;
}

void EndHoldingThread(OpcDriver& drv, DWORD exitCode)
{
    OpcDriver* record = &drv;
    ReleaseDriverRecord(record);
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       ModuleAddress(), &module);
    FreeLibraryAndExitThread(module, exitCode);
}
