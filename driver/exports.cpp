// The driver's exported C functions: thin shells over the instance operations. Names come from
// tagport.def; every export uses the C calling convention. Booleans are returned as a 32-bit 0 or 1,
// which reads correctly whether the host looks at the whole register or only its low byte.
// An instance export given a null driver does nothing and returns false.

#include <cstdint>

#include <windows.h>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "convert/value_record.h"
#include "driver/opc_driver.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"
#include "hostrt/core.h"

namespace {

constexpr std::uint32_t kVersion = 0x30001;
constexpr wchar_t kDriverName[] = L"Orvex OPC Client Driver";
constexpr std::uint32_t kDriverNameLength = sizeof(kDriverName) / sizeof(kDriverName[0]) - 1;
constexpr std::uint32_t kInitNameMax = 259;

std::uint32_t g_initUnderscoreCalls = 0; // counted, never read: the host only requires the export

} // namespace

namespace tagport {
void Init_()
{
    ++g_initUnderscoreCalls;
}
} // namespace tagport

extern "C" {

std::uint32_t __cdecl VersionW()
{
    return kVersion;
}
std::uint32_t __cdecl Version()
{
    return VersionW();
}

BOOL __cdecl CheckW()
{
    return TRUE;
}
BOOL __cdecl Check()
{
    return CheckW();
}

void __cdecl GetDriverInfoW(std::uint32_t max, wchar_t* buffer)
{
    if (buffer != nullptr) CopyText(max, buffer, kDriverNameLength, kDriverName);
}
void __cdecl GetDriverInfo(std::uint32_t max, char* buffer)
{
    if (buffer != nullptr) WideToAnsi(kDriverNameLength, kDriverName, max, buffer);
}

OpcDriver* __cdecl MakeDriverW()
{
    return MakeDriverRecord();
}
OpcDriver* __cdecl MakeDriver()
{
    return MakeDriverW();
}

void __cdecl DisposeDriverW(OpcDriver* driver)
{
    if (driver != nullptr) FreeDriverRecord(driver);
}
void __cdecl DisposeDriver(OpcDriver* driver)
{
    DisposeDriverW(driver);
}

BOOL __cdecl InitW(OpcDriver* driver, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax,
                   wchar_t* err, std::uint32_t reserved1, std::uint32_t reserved2, std::uint32_t userData,
                   NotifyCallback callback)
{
    (void)reserved1, (void)reserved2;
    // Both twins leave an empty text after a success, so the buffer never shows a stale message.
    if (err != nullptr) CopyText(errMax, err, 0, L"");
    if (driver == nullptr) return FALSE;
    return Init(*driver, nameMax, name == nullptr ? L"" : name, errMax, err, userData, callback) ? TRUE
                                                                                                 : FALSE;
}

BOOL __cdecl Init(OpcDriver* driver, std::uint32_t nameMax, const char* name, std::uint32_t errMax, char* err,
                  std::uint32_t reserved1, std::uint32_t reserved2, std::uint32_t userData,
                  NotifyCallback callback)
{
    wchar_t wideName[kInitNameMax + 1] = {};
    wchar_t wideErr[kLastErrorMax + 1] = {};
    if (name != nullptr) AnsiToWide(AnsiLen(nameMax, name), name, kInitNameMax, wideName);
    BOOL ok = InitW(driver, kInitNameMax, wideName, kLastErrorMax, wideErr, reserved1, reserved2, userData,
                    callback);
    if (err != nullptr) WideToAnsi(kLastErrorMax, wideErr, errMax, err);
    return ok;
}

void __cdecl DoneW(OpcDriver* driver)
{
    if (driver != nullptr) Done(*driver);
}
void __cdecl Done(OpcDriver* driver)
{
    DoneW(driver);
}

BOOL __cdecl BufferInfoW()
{
    return FALSE;
}
BOOL __cdecl BufferInfo()
{
    return BufferInfoW();
}

void __cdecl SetBufferAddrW() {}
void __cdecl SetBufferAddr()
{
    SetBufferAddrW();
}

void __cdecl InputRequestW(OpcDriver* driver, std::uint32_t channel)
{
    if (driver != nullptr) InputRequest(*driver, channel);
}
void __cdecl InputRequest(OpcDriver* driver, std::uint32_t channel)
{
    InputRequestW(driver, channel);
}

void __cdecl InputRequestCompletedW(OpcDriver* driver)
{
    if (driver != nullptr) InputRequestCompleted(*driver);
}
void __cdecl InputRequestCompleted(OpcDriver* driver)
{
    InputRequestCompletedW(driver);
}

BOOL __cdecl InputFinalizedW(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status)
{
    return driver != nullptr && InputFinalized(*driver, channel, status) ? TRUE : FALSE;
}
BOOL __cdecl InputFinalized(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status)
{
    return InputFinalizedW(driver, channel, status);
}

void __cdecl GetInput3W(OpcDriver* driver, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
                        HostTimestamp* timestamp)
{
    if (driver != nullptr) GetInput3(*driver, channel, value, quality, timestamp, true);
}
void __cdecl GetInput3(OpcDriver* driver, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
                       HostTimestamp* timestamp)
{
    if (driver != nullptr) GetInput3(*driver, channel, value, quality, timestamp, false);
}
void __cdecl GetInput2W(OpcDriver* driver, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
                        HostTimestamp* timestamp)
{
    GetInput3W(driver, channel, value, quality, timestamp);
}
void __cdecl GetInput2(OpcDriver* driver, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
                       HostTimestamp* timestamp)
{
    GetInput3(driver, channel, value, quality, timestamp);
}
void __cdecl GetInputW(OpcDriver* driver, std::uint32_t channel, HostValue* value)
{
    std::uint32_t quality = 0;
    HostTimestamp timestamp{};
    GetInput3W(driver, channel, value, &quality, &timestamp);
}
void __cdecl GetInput(OpcDriver* driver, std::uint32_t channel, HostValue* value)
{
    std::uint32_t quality = 0;
    HostTimestamp timestamp{};
    GetInput3(driver, channel, value, &quality, &timestamp);
}

// extra1 and extra2 belong to the host's calling convention for this family; the driver reads neither.
void __cdecl OutputRequest3W(OpcDriver* driver, std::uint32_t channel, HostValue value, std::uint32_t,
                             std::uint32_t)
{
    if (driver != nullptr) OutputRequest(*driver, channel, value, true);
}
void __cdecl OutputRequest3(OpcDriver* driver, std::uint32_t channel, HostValue value, std::uint32_t,
                            std::uint32_t)
{
    if (driver != nullptr) OutputRequest(*driver, channel, value, false);
}
void __cdecl OutputRequest2W(OpcDriver* driver, std::uint32_t channel, HostValue value, std::uint32_t extra1,
                             std::uint32_t extra2)
{
    OutputRequest3W(driver, channel, value, extra1, extra2);
}
void __cdecl OutputRequest2(OpcDriver* driver, std::uint32_t channel, HostValue value, std::uint32_t extra1,
                            std::uint32_t extra2)
{
    OutputRequest3(driver, channel, value, extra1, extra2);
}
void __cdecl OutputRequestW(OpcDriver* driver, std::uint32_t channel, HostValue value)
{
    OutputRequest3W(driver, channel, value, 0,
                    static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&value)));
}
void __cdecl OutputRequest(OpcDriver* driver, std::uint32_t channel, HostValue value)
{
    OutputRequest3(driver, channel, value, 0,
                   static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&value)));
}

void __cdecl OutputRequestCompletedW(OpcDriver* driver)
{
    if (driver != nullptr) OutputRequestCompleted(*driver);
}
void __cdecl OutputRequestCompleted(OpcDriver* driver)
{
    OutputRequestCompletedW(driver);
}

BOOL __cdecl OutputFinalizedW(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status)
{
    return driver != nullptr && OutputFinalized(*driver, channel, status) ? TRUE : FALSE;
}
BOOL __cdecl OutputFinalized(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status)
{
    return OutputFinalizedW(driver, channel, status);
}

void __cdecl DriverProcW() {}
void __cdecl DriverProc()
{
    DriverProcW();
}

void __cdecl QueryProcW() {}
void __cdecl QueryProc()
{
    QueryProcW();
}

void __cdecl _INIT(HINSTANCE instance)
{
    RecordModuleInstance(instance);
}
void __cdecl _DONE()
{
    UnregisterWindowClass();
}

} // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) _INIT(instance);
    if (reason == DLL_PROCESS_DETACH) _DONE();
    return TRUE;
}
