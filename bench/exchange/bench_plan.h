#pragma once
// What the batch tables run: the sizes with their rounds, the two modes, and the parameter files that
// scripts/bench generates for them (<folder>/<prefix><mode>_<channels>.par).

#include <cstdint>
#include <string>

enum class Mode { Async, Sync };

inline const char* ModeName(Mode mode)
{
    return mode == Mode::Async ? "async" : "sync";
}

struct Size {
    std::uint32_t channels;
    int rounds; // chosen so that the batch table takes about a minute under Wine on 2 cores
};
constexpr Size kSizes[] = {{1, 200}, {100, 200}, {1000, 100}, {10000, 30}, {50000, 10}, {100000, 8}};
constexpr int kWarmUps = 2;

// "" for the plain files; "trace_" for the same files with "debug = yes".
inline std::string ParPath(const std::string& folder, const char* prefix, Mode mode, std::uint32_t channels)
{
    return folder + "/" + prefix + ModeName(mode) + "_" + std::to_string(channels) + ".par";
}
