#pragma once
// tagport.dll as the runtime loads it: LoadLibraryW from tagprobe's own folder and GetProcAddress for
// the exports of one family, the ANSI names or their W twins.

#include <cstdint>
#include <string>

#include <windows.h>

#include "convert/value_record.h"

using DriverHandle = void*; // the instance, opaque to the host
using NotifyFn = void(__cdecl*)(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);

struct DriverLibrary {
    HMODULE module = nullptr;
    bool wide = false; // the W family was resolved
    std::uint32_t(__cdecl* version)() = nullptr;
    DriverHandle(__cdecl* makeDriver)() = nullptr;
    void(__cdecl* disposeDriver)(DriverHandle) = nullptr;
    // Exactly one of each text pair is resolved, by the family.
    void(__cdecl* getDriverInfoA)(std::uint32_t max, char* buffer) = nullptr;
    void(__cdecl* getDriverInfoW)(std::uint32_t max, wchar_t* buffer) = nullptr;
    BOOL(__cdecl* initA)
    (DriverHandle, std::uint32_t nameMax, const char* name, std::uint32_t errMax, char* err,
     std::uint32_t reserved1, std::uint32_t reserved2, std::uint32_t userData, NotifyFn callback) = nullptr;
    BOOL(__cdecl* initW)
    (DriverHandle, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax, wchar_t* err,
     std::uint32_t reserved1, std::uint32_t reserved2, std::uint32_t userData, NotifyFn callback) = nullptr;
    void(__cdecl* done)(DriverHandle) = nullptr;
    void(__cdecl* inputRequest)(DriverHandle, std::uint32_t channel) = nullptr;
    void(__cdecl* inputRequestCompleted)(DriverHandle) = nullptr;
    BOOL(__cdecl* inputFinalized)(DriverHandle, std::uint32_t channel, std::uint32_t* status) = nullptr;
    void(__cdecl* getInput3)(DriverHandle, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
                             HostTimestamp* timestamp) = nullptr;
    void(__cdecl* outputRequest)(DriverHandle, std::uint32_t channel, HostValue value) = nullptr;
    void(__cdecl* outputRequestCompleted)(DriverHandle) = nullptr;
    BOOL(__cdecl* outputFinalized)(DriverHandle, std::uint32_t channel, std::uint32_t* status) = nullptr;
};

// Loads tagport.dll from the folder of the running program and resolves the family's exports. False
// with the reason (the DLL is missing, or lacks an export) and nothing held.
bool LoadDriverLibrary(bool wide, DriverLibrary& lib, std::wstring& error);
// Frees the DLL; safe to repeat.
void UnloadDriverLibrary(DriverLibrary& lib);

// "Orvex OPC Client Driver 3.1" from GetDriverInfo and Version of the family.
std::wstring DriverDescription(const DriverLibrary& lib);
