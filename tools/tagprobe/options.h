#pragma once
// The command line: which command, its operands, and the options that shape how the driver is driven.

#include <cstdint>
#include <string>
#include <vector>

enum class Command { Version, Check, Read, Write, Watch, Browse, Servers, Help };

struct ProbeOptions {
    Command command = Command::Help;
    std::wstring file{}; // the parameter file (check, read, write, watch)
    std::vector<std::wstring>
        operands{};     // channels (read, watch), CH=VALUE (write), SERVER [HOST] (browse), [HOST] (servers)
    bool wide = false;  // --wide: the W exports; --ansi (the default): the ANSI ones
    bool hasAs = false; // --as given
    std::uint32_t asType = 0;        // the host type that --as names
    bool trace = false;              // --trace: print the driver's debug trace lines
    std::uint32_t timeoutMs = 10000; // --timeout: the longest wait for one notification
    std::uint32_t intervalMs = 0;    // --interval (watch): from one batch to the next
    bool subscribe = false;          // --subscribe (watch): the instance runs with subscribe = true
    std::uint32_t count = 0;         // --count (watch): batches to run; 0 runs until interrupted
    bool readBack = false;           // --readback (write): read the written channels afterwards
    std::wstring starterFile{};      // --par FILE (browse): write a starter parameter file
    bool quiet = false;              // --quiet (check): print only the findings of the review
};

// watch --subscribe without --interval: a read batch then costs no server call, so a short interval
// shows each change soon after the driver has it.
constexpr std::uint32_t kSubscribedIntervalMs = 100;

// Reads args (without the program name). False with the reason when the command line is wrong.
bool ParseOptions(const std::vector<std::wstring>& args, ProbeOptions& options, std::wstring& error);

// The usage text, one line per element.
std::vector<std::wstring> UsageLines();
