// tagprobe version: the DLL loaded as the runtime loads it, its name and version word.
#include <cwchar>

#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/driver_library.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/output.h"

int RunVersion(const ProbeOptions& options)
{
    DriverLibrary lib;
    std::wstring error;
    if (!LoadDriverLibrary(options.wide, lib, error)) {
        PrintError(error);
        return ExitInitFailed;
    }
    wchar_t word[16];
    std::swprintf(word, 16, L"0x%05X", lib.version());
    PrintLine(L"driver:  " + DriverDescription(lib) + L" (version word " + word + L")");
    UnloadDriverLibrary(lib);
    return ExitOk;
}
