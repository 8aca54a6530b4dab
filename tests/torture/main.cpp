// The seeded fault campaign of recovery (scripts/torture): episodes SEED, SEED+1, ... in asynchronous
// and then synchronous mode, each drawn from its own seed. Exits 1 when any episode broke a promise, 2
// when the campaign could not run at all.
// Usage: torture_host [SEED] [EPISODES]

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "tests/support/driver_api.h"
#include "tests/support/e2e_host.h"
#include "tests/support/task_memory.h"
#include "tests/torture/episode.h"
#include "tests/torture/torture_items.h"

namespace {

constexpr std::uint32_t kDefaultEpisodes = 20;
constexpr std::uint32_t kWarmUpWaitMs = 30000;

// COM and Wine set up once per process what the first connection needs (the server's launch path, the
// apartments' machinery): one plain cycle in each mode first, so that no episode counts it as its own.
::testing::AssertionResult WarmUp(const DriverApi& api)
{
    SimServer sim;
    ::testing::AssertionResult ok = RegisterSimScenario(kTortureItems, sim);
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        E2eHost host;
        std::string text;
        if (ok && !host.Init(api, ParameterText(sim, ModeLines(mode), kTortureChannels), Width::Ansi, &text))
            ok = ::testing::AssertionFailure() << ModeName(mode) << " Init failed: " << text;
        if (ok) ok = host.ReadBatch({kRampChannel});
        host.Stop();
    }
    UnregisterSimScenario(sim);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // The campaign's lines go to a pipe as they come, so a host that dies still shows its last episode.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::uint64_t seed =
        argc > 1 ? std::strtoull(argv[1], nullptr, 10) : static_cast<std::uint64_t>(std::time(nullptr));
    std::uint32_t episodes =
        argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : kDefaultEpisodes;
    std::printf("torture: seed %llu, %u episode(s) in each mode\n", static_cast<unsigned long long>(seed),
                episodes);
    CoInitialize(nullptr);
    if (!BstrCacheIsOff() || !CountTaskMemory()) {
        std::printf("torture: COM task memory cannot be counted: run with OANOCACHE=1\n");
        return 2;
    }
    DriverApi api;
    ::testing::AssertionResult loaded = LoadDriverApi(api);
    if (!loaded) {
        std::printf("torture: %s\n", loaded.message());
        return 2;
    }
    ::testing::AssertionResult warm = WarmUp(api);
    if (!warm) {
        std::printf("torture: the warm-up cycle against a plain server failed: %s\n", warm.message());
        return 2;
    }
    std::vector<std::string> failed;
    for (std::uint32_t i = 0; i < episodes; ++i) {
        for (Mode mode : {Mode::Async, Mode::Sync}) {
            if (!RunEpisode(api, seed + i, mode))
                failed.push_back(std::to_string(seed + i) + " " + ModeName(mode));
        }
    }
    UnloadDriverApi(api);
    std::printf("torture: %zu of %u episode(s) failed\n", failed.size(), 2 * episodes);
    for (const std::string& episode : failed)
        std::printf("  replay: scripts/torture %s 1\n", episode.substr(0, episode.find(' ')).c_str());
    return failed.empty() ? 0 : 1;
}
