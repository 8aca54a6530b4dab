#pragma once
// The driver's exports as the host sees them: LoadLibraryW on tagport.dll beside the test program and
// GetProcAddress for every name.

#include <cstdint>
#include <string>

#include <windows.h>

#include <gtest/gtest.h>

#include "convert/value_record.h"

struct OpcDriver;

using NotifyCallback = void(__cdecl*)(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);

template <class Text> struct DriverExports {
    std::uint32_t(__cdecl* Version)();
    BOOL(__cdecl* Check)();
    void(__cdecl* GetDriverInfo)(std::uint32_t max, Text* buffer);
    OpcDriver*(__cdecl* MakeDriver)();
    void(__cdecl* DisposeDriver)(OpcDriver* driver);
    BOOL(__cdecl* Init)
    (OpcDriver* driver, std::uint32_t nameMax, const Text* name, std::uint32_t errMax, Text* err,
     std::uint32_t reserved1, std::uint32_t reserved2, std::uint32_t userData, NotifyCallback callback);
    void(__cdecl* Done)(OpcDriver* driver);
    BOOL(__cdecl* BufferInfo)();
    void(__cdecl* SetBufferAddr)();
    void(__cdecl* InputRequest)(OpcDriver* driver, std::uint32_t channel);
    void(__cdecl* InputRequestCompleted)(OpcDriver* driver);
    BOOL(__cdecl* InputFinalized)(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status);
    void(__cdecl* GetInput)(OpcDriver* driver, std::uint32_t channel, HostValue* value);
    void(__cdecl* GetInput2)(OpcDriver* driver, std::uint32_t channel, HostValue* value,
                             std::uint32_t* quality, HostTimestamp* timestamp);
    void(__cdecl* GetInput3)(OpcDriver* driver, std::uint32_t channel, HostValue* value,
                             std::uint32_t* quality, HostTimestamp* timestamp);
    void(__cdecl* OutputRequest)(OpcDriver* driver, std::uint32_t channel, HostValue value);
    void(__cdecl* OutputRequest2)(OpcDriver* driver, std::uint32_t channel, HostValue value,
                                  std::uint32_t extra1, std::uint32_t extra2);
    void(__cdecl* OutputRequest3)(OpcDriver* driver, std::uint32_t channel, HostValue value,
                                  std::uint32_t extra1, std::uint32_t extra2);
    void(__cdecl* OutputRequestCompleted)(OpcDriver* driver);
    BOOL(__cdecl* OutputFinalized)(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status);
    void(__cdecl* DriverProc)();
    void(__cdecl* QueryProc)();
};

struct DriverApi {
    HMODULE module = nullptr;
    DriverExports<char> ansi{};
    DriverExports<wchar_t> wide{};
    void(__cdecl* initUnderscore)() = nullptr;
};

// Full path of a file beside the running test program (where the build puts tagport.dll).
std::wstring BesideProgram(const wchar_t* fileName);

// Loads tagport.dll and resolves every export; fails naming the first export that is missing.
::testing::AssertionResult LoadDriverApi(DriverApi& api);
// Resolves every export from a module that is already loaded (a test program that links the driver in
// and exports its functions itself, to see the driver's own allocator); the module is not freed.
::testing::AssertionResult ResolveDriverApi(HMODULE module, DriverApi& api);
void UnloadDriverApi(DriverApi& api);
// For a program that links the driver in: resolves the exports from the program itself and calls the
// driver's module entry (_INIT) by hand, as the loader does for tagport.dll.
::testing::AssertionResult AttachLinkedInDriver(DriverApi& api);
