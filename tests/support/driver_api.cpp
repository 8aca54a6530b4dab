#include "tests/support/driver_api.h"

namespace {

template <class Fn> bool Resolve(HMODULE module, const char* name, Fn& fn, std::string& missing)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (fn == nullptr && missing.empty()) missing = name;
    return fn != nullptr;
}

template <class Text>
void ResolveFamily(HMODULE module, const std::string& suffix, DriverExports<Text>& e, std::string& missing)
{
    auto name = [&suffix](const char* base) { return std::string(base) + suffix; };
    Resolve(module, name("Version").c_str(), e.Version, missing);
    Resolve(module, name("Check").c_str(), e.Check, missing);
    Resolve(module, name("GetDriverInfo").c_str(), e.GetDriverInfo, missing);
    Resolve(module, name("MakeDriver").c_str(), e.MakeDriver, missing);
    Resolve(module, name("DisposeDriver").c_str(), e.DisposeDriver, missing);
    Resolve(module, name("Init").c_str(), e.Init, missing);
    Resolve(module, name("Done").c_str(), e.Done, missing);
    Resolve(module, name("BufferInfo").c_str(), e.BufferInfo, missing);
    Resolve(module, name("SetBufferAddr").c_str(), e.SetBufferAddr, missing);
    Resolve(module, name("InputRequest").c_str(), e.InputRequest, missing);
    Resolve(module, name("InputRequestCompleted").c_str(), e.InputRequestCompleted, missing);
    Resolve(module, name("InputFinalized").c_str(), e.InputFinalized, missing);
    Resolve(module, name("GetInput").c_str(), e.GetInput, missing);
    Resolve(module, name("GetInput2").c_str(), e.GetInput2, missing);
    Resolve(module, name("GetInput3").c_str(), e.GetInput3, missing);
    Resolve(module, name("OutputRequest").c_str(), e.OutputRequest, missing);
    Resolve(module, name("OutputRequest2").c_str(), e.OutputRequest2, missing);
    Resolve(module, name("OutputRequest3").c_str(), e.OutputRequest3, missing);
    Resolve(module, name("OutputRequestCompleted").c_str(), e.OutputRequestCompleted, missing);
    Resolve(module, name("OutputFinalized").c_str(), e.OutputFinalized, missing);
    Resolve(module, name("DriverProc").c_str(), e.DriverProc, missing);
    Resolve(module, name("QueryProc").c_str(), e.QueryProc, missing);
}

} // namespace

std::wstring BesideProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path, length);
    result.resize(result.find_last_of(L"\\/") + 1);
    return result + fileName;
}

::testing::AssertionResult LoadDriverApi(DriverApi& api)
{
    std::wstring path = BesideProgram(L"tagport.dll");
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr)
        return ::testing::AssertionFailure() << "LoadLibraryW(tagport.dll) failed, error " << GetLastError();
    ::testing::AssertionResult resolved = ResolveDriverApi(module, api);
    api.module = module;
    return resolved;
}

::testing::AssertionResult AttachLinkedInDriver(DriverApi& api)
{
    HMODULE self = GetModuleHandleW(nullptr);
    auto attach =
        reinterpret_cast<void(__cdecl*)(HINSTANCE)>(reinterpret_cast<void*>(GetProcAddress(self, "_INIT")));
    if (attach == nullptr) return ::testing::AssertionFailure() << "the program exports no _INIT";
    ::testing::AssertionResult resolved = ResolveDriverApi(self, api);
    if (resolved) attach(self);
    return resolved;
}

::testing::AssertionResult ResolveDriverApi(HMODULE module, DriverApi& api)
{
    api.module = nullptr;
    std::string missing;
    ResolveFamily(module, "", api.ansi, missing);
    ResolveFamily(module, "W", api.wide, missing);
    Resolve(module, "?Init_@tagport@@YAXXZ", api.initUnderscore, missing);
    if (!missing.empty()) return ::testing::AssertionFailure() << "export " << missing << " is missing";
    return ::testing::AssertionSuccess();
}

void UnloadDriverApi(DriverApi& api)
{
    if (api.module != nullptr) FreeLibrary(api.module);
    api = DriverApi{};
}
