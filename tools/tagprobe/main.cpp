// tagprobe: tries a driver configuration the way the runtime would run it, from the command line.
// It loads tagport.dll from its own folder with LoadLibraryW and calls the exports by name.
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/options.h"
#include "tools/tagprobe/output.h"

namespace {

// The arguments as UTF-16, so that file names and text values keep every character.
std::vector<std::wstring> WideArguments()
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < count; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

struct CommandRunner {
    Command command;
    int (*run)(const ProbeOptions&);
};

constexpr CommandRunner kCommands[] = {
    {Command::Version, RunVersion}, {Command::Check, RunCheck}, {Command::Read, RunRead},
    {Command::Write, RunWrite},     {Command::Watch, RunWatch}, {Command::Browse, RunBrowse},
    {Command::Servers, RunServers},
};

int Help(bool asked)
{
    for (const auto& line : UsageLines())
        asked ? PrintLine(line) : PrintErrorLine(line);
    return asked ? ExitOk : ExitUsage;
}

} // namespace

int main()
{
    ProbeOptions options;
    std::wstring error;
    if (!ParseOptions(WideArguments(), options, error)) {
        PrintError(error);
        return Help(false);
    }
    for (const auto& entry : kCommands)
        if (entry.command == options.command) return entry.run(options);
    return Help(true);
}
