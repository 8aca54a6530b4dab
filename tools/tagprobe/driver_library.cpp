#include "tools/tagprobe/driver_library.h"

#include "tools/tagprobe/text_convert.h"

namespace {

constexpr wchar_t kDriverFile[] = L"tagport.dll";

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    std::size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

// Resolves base plus the family's suffix into fn; remembers the first name that is missing.
template <class Fn> void Resolve(DriverLibrary& lib, const char* base, Fn& fn, std::string& missing)
{
    std::string name = std::string(base) + (lib.wide ? "W" : "");
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib.module, name.c_str())));
    if (fn == nullptr && missing.empty()) missing = name;
}

} // namespace

bool LoadDriverLibrary(bool wide, DriverLibrary& lib, std::wstring& error)
{
    lib = DriverLibrary{};
    std::wstring path = ProgramFolder() + kDriverFile;
    lib.module = LoadLibraryW(path.c_str());
    if (lib.module == nullptr) {
        error = L"cannot load " + path + L" (Windows error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    lib.wide = wide;
    std::string missing;
    Resolve(lib, "Version", lib.version, missing);
    Resolve(lib, "MakeDriver", lib.makeDriver, missing);
    Resolve(lib, "DisposeDriver", lib.disposeDriver, missing);
    if (wide) {
        Resolve(lib, "GetDriverInfo", lib.getDriverInfoW, missing);
        Resolve(lib, "Init", lib.initW, missing);
    } else {
        Resolve(lib, "GetDriverInfo", lib.getDriverInfoA, missing);
        Resolve(lib, "Init", lib.initA, missing);
    }
    Resolve(lib, "Done", lib.done, missing);
    Resolve(lib, "InputRequest", lib.inputRequest, missing);
    Resolve(lib, "InputRequestCompleted", lib.inputRequestCompleted, missing);
    Resolve(lib, "InputFinalized", lib.inputFinalized, missing);
    Resolve(lib, "GetInput3", lib.getInput3, missing);
    Resolve(lib, "OutputRequest", lib.outputRequest, missing);
    Resolve(lib, "OutputRequestCompleted", lib.outputRequestCompleted, missing);
    Resolve(lib, "OutputFinalized", lib.outputFinalized, missing);
    if (missing.empty()) return true;
    error = path + L" lacks the export " + std::wstring(missing.begin(), missing.end());
    UnloadDriverLibrary(lib);
    return false;
}

void UnloadDriverLibrary(DriverLibrary& lib)
{
    if (lib.module != nullptr) FreeLibrary(lib.module);
    lib = DriverLibrary{};
}

std::wstring DriverDescription(const DriverLibrary& lib)
{
    constexpr std::uint32_t kMax = 127;
    std::wstring name;
    if (lib.getDriverInfoW != nullptr) {
        wchar_t buffer[kMax + 1] = {};
        lib.getDriverInfoW(kMax, buffer);
        name = buffer;
    } else if (lib.getDriverInfoA != nullptr) {
        char buffer[kMax + 1] = {};
        lib.getDriverInfoA(kMax, buffer);
        name = WideFromAnsi(buffer, static_cast<std::size_t>(lstrlenA(buffer)));
    }
    std::uint32_t word = lib.version != nullptr ? lib.version() : 0;
    return name + L" " + std::to_wstring(word >> 16) + L"." + std::to_wstring(word & 0xFFFF);
}
