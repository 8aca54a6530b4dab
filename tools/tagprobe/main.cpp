// tagprobe: tries a driver configuration the way the runtime would run it, from the command line.
// It loads tagport.dll from its own folder with LoadLibraryW and calls the exports by name.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <windows.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInitFailed = 2;
constexpr int kExitUsage = 3;

int Usage()
{
    std::fprintf(stderr, "usage: tagprobe version\n");
    return kExitUsage;
}

HMODULE LoadDriver()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/') --length;
    path[length] = 0;
    if (length + 12 > MAX_PATH) return nullptr;
    std::wcscat(path, L"tagport.dll");
    return LoadLibraryW(path);
}

int Version()
{
    HMODULE driver = LoadDriver();
    if (driver == nullptr) {
        std::fprintf(stderr, "tagprobe: cannot load tagport.dll (error %lu)\n", GetLastError());
        return kExitInitFailed;
    }
    auto version = reinterpret_cast<std::uint32_t(__cdecl*)()>(
        reinterpret_cast<void*>(GetProcAddress(driver, "Version")));
    auto info = reinterpret_cast<void(__cdecl*)(std::uint32_t, char*)>(
        reinterpret_cast<void*>(GetProcAddress(driver, "GetDriverInfo")));
    if (version == nullptr || info == nullptr) {
        std::fprintf(stderr, "tagprobe: tagport.dll lacks the Version or GetDriverInfo export\n");
        FreeLibrary(driver);
        return kExitInitFailed;
    }
    char name[256] = {};
    info(255, name);
    std::uint32_t word = version();
    std::printf("driver:  %s\nversion: %u.%u (0x%05X)\n", name, word >> 16, word & 0xFFFF, word);
    FreeLibrary(driver);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "version") == 0) return Version();
    return Usage();
}
