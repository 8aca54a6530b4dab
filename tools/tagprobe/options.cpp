#include "tools/tagprobe/options.h"

#include "tools/tagprobe/decimal_text.h"
#include "tools/tagprobe/type_names.h"

namespace {

struct CommandEntry {
    const wchar_t* name;
    Command command;
    bool takesFile; // the first operand is the parameter file
};

constexpr CommandEntry kCommands[] = {
    {L"version", Command::Version, false}, {L"check", Command::Check, true},
    {L"read", Command::Read, true},        {L"write", Command::Write, true},
    {L"watch", Command::Watch, true},      {L"browse", Command::Browse, false},
    {L"servers", Command::Servers, false}, {L"help", Command::Help, false},
};

// Which command may carry which option.
bool Allows(Command command, const std::wstring& option)
{
    bool drivesDriver = command == Command::Check || command == Command::Read || command == Command::Write ||
                        command == Command::Watch;
    if (option == L"--ansi" || option == L"--wide" || option == L"--trace") return drivesDriver;
    if (option == L"--timeout") return drivesDriver && command != Command::Check;
    if (option == L"--as")
        return command == Command::Read || command == Command::Write || command == Command::Watch;
    if (option == L"--interval" || option == L"--count" || option == L"--subscribe")
        return command == Command::Watch;
    if (option == L"--readback") return command == Command::Write;
    if (option == L"--par") return command == Command::Browse;
    if (option == L"--quiet") return command == Command::Check;
    return false;
}

bool TakesValue(const std::wstring& option)
{
    return option == L"--as" || option == L"--timeout" || option == L"--interval" || option == L"--count" ||
           option == L"--par";
}

bool ApplyOption(const std::wstring& option, const std::wstring& value, ProbeOptions& options,
                 std::wstring& error)
{
    bool ok = true;
    if (option == L"--ansi") {
        options.wide = false;
    } else if (option == L"--wide") {
        options.wide = true;
    } else if (option == L"--trace") {
        options.trace = true;
    } else if (option == L"--readback") {
        options.readBack = true;
    } else if (option == L"--quiet") {
        options.quiet = true;
    } else if (option == L"--subscribe") {
        options.subscribe = true;
    } else if (option == L"--par") {
        options.starterFile = value;
        if (value.empty()) {
            error = L"--par needs a file name";
            return false;
        }
    } else if (option == L"--as") {
        options.hasAs = HostTypeFromName(value, options.asType);
        if (!options.hasAs) {
            error = L"--as " + value + L": unknown host type (one of " + HostTypeNameList() + L")";
            return false;
        }
    } else {
        std::uint32_t& target = option == L"--timeout"    ? options.timeoutMs
                                : option == L"--interval" ? options.intervalMs
                                                          : options.count;
        ok = ParseDecimal(value, 0x7FFFFFFF, target) && target > 0;
    }
    if (!ok) error = option + L" " + value + L": expected a number from 1 to 2147483647";
    return ok;
}

bool CheckOperands(const ProbeOptions& options, std::wstring& error)
{
    std::size_t n = options.operands.size();
    switch (options.command) {
    case Command::Version:
    case Command::Help:
    case Command::Check:
        if (n == 0) return true;
        error = L"unexpected argument " + options.operands[0];
        return false;
    case Command::Write:
        if (n > 0) return true;
        error = L"write needs at least one CH=VALUE";
        return false;
    case Command::Watch:
        if (options.intervalMs > 0) return true;
        error = L"watch needs --interval MS";
        return false;
    case Command::Browse:
        if (n == 1 || n == 2) return true;
        error = n == 0 ? L"browse needs the server's CLSID or ProgID"
                       : L"browse takes a CLSID or ProgID and at most one host name";
        return false;
    case Command::Servers:
        if (n <= 1) return true;
        error = L"servers takes at most one host name";
        return false;
    default:
        return true;
    }
}

} // namespace

bool ParseOptions(const std::vector<std::wstring>& args, ProbeOptions& options, std::wstring& error)
{
    options = ProbeOptions{};
    if (args.empty()) {
        error = L"no command given";
        return false;
    }
    const CommandEntry* entry = nullptr;
    for (const auto& candidate : kCommands)
        if (args[0] == candidate.name) entry = &candidate;
    if (entry == nullptr) {
        error = L"unknown command " + args[0];
        return false;
    }
    options.command = entry->command;
    bool fileSeen = !entry->takesFile;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, L"--") == 0) {
            if (!Allows(options.command, arg)) {
                error = arg + L" is not an option of " + entry->name;
                return false;
            }
            std::wstring value;
            if (TakesValue(arg)) {
                if (i + 1 == args.size()) {
                    error = arg + L" needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (!ApplyOption(arg, value, options, error)) return false;
        } else if (!fileSeen) {
            options.file = arg;
            fileSeen = true;
        } else {
            options.operands.push_back(arg);
        }
    }
    if (!fileSeen) {
        error = std::wstring(entry->name) + L" needs a parameter file";
        return false;
    }
    if (options.subscribe && options.intervalMs == 0) options.intervalMs = kSubscribedIntervalMs;
    return CheckOperands(options, error);
}

std::vector<std::wstring> UsageLines()
{
    return {
        L"usage: tagprobe COMMAND ...",
        L"  tagprobe check FILE.par                       a review of the file and its items, Init and Done",
        L"  tagprobe read FILE.par [CHANNELS...]          one read batch (all channels when none named)",
        L"  tagprobe write FILE.par CH[:TYPE]=VALUE ...   one write batch, then the statuses",
        L"  tagprobe watch FILE.par [CHANNELS...] --interval MS [--count N]",
        L"                                                repeated reads, printing what changed",
        L"  tagprobe watch FILE.par [CHANNELS...] --subscribe [--interval MS] [--count N]",
        L"                                                the same with subscribe = true: each change",
        L"                                                with its delay from the server's timestamp",
        L"  tagprobe check FILE.par --quiet               only the findings of the review",
        L"  tagprobe browse SERVER [HOST] [--par FILE]    the server's items; --par writes a starter file",
        L"  tagprobe servers [HOST]                       the OPC DA servers: ProgID, CLSID, description",
        L"  tagprobe version                              the driver's name and version",
        L"SERVER: a CLSID in braces or a ProgID.  CHANNELS: numbers or ranges like 10-19.",
        L"TYPE: " + HostTypeNameList() + L".",
        L"options: --ansi | --wide   the export family (default --ansi)",
        L"         --as TYPE         the host type to ask for (default: what the item's canonical type "
        L"suggests)",
        L"         --trace           show the driver's debug trace lines (the file must set debug = true)",
        L"         --timeout MS      the longest wait for one notification (default 10000)",
        L"         --readback        write: read the written channels back afterwards",
        L"exit codes: 0 all good, 1 some channel failed, 2 Init failed, 3 usage error",
        L"            check: 0 the file is sound, 1 a finding would make Init or a channel fail, 3 usage "
        L"error",
    };
}
