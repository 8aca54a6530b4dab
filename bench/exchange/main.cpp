// Read and write batches of tagport.dll against the simulation server, beside a bare OPC client making
// the same calls on the same items; the driver's own part of a batch, from its trace; and the host-side
// cost of the exports against the table size; and read batches answered from data changes (subscribe)
// against read batches that call the server. Given a baseline DLL (an earlier commit's build), every
// table also compares this build with it, both driven by the same rounds.
// Usage: bench_exchange <folder with the parameter files of scripts/bench> [all|batches|host|subscribe]
// [baseline dll]
// Prints markdown tables on stdout, progress on stderr; exits non-zero when anything failed.

#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>
#include <objbase.h>

#include "bench/exchange/batch_table.h"
#include "bench/exchange/builds.h"
#include "bench/exchange/host_cost_table.h"
#include "bench/exchange/own_time_table.h"
#include "bench/exchange/subscription_table.h"
#include "tests/support/driver_api.h"

namespace {

bool LoadBaseline(const char* path, DriverApi& api)
{
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) {
        std::fprintf(stderr, "bench_exchange: LoadLibrary(%s) failed, error %lu\n", path, GetLastError());
        return false;
    }
    ::testing::AssertionResult resolved = ResolveDriverApi(module, api);
    api.module = module; // freed by UnloadDriverApi
    if (!resolved) std::fprintf(stderr, "bench_exchange: baseline: %s\n", resolved.message());
    return resolved;
}

} // namespace

int main(int argc, char** argv)
{
    const char* part = argc >= 3 ? argv[2] : "all";
    bool all = std::strcmp(part, "all") == 0;
    bool batches = all || std::strcmp(part, "batches") == 0;
    bool host = all || std::strcmp(part, "host") == 0;
    bool subscribe = all || std::strcmp(part, "subscribe") == 0;
    if (argc < 2 || argc > 4 || (!batches && !host && !subscribe)) {
        std::fprintf(stderr, "usage: bench_exchange <parameter file folder> [all|batches|host|subscribe] "
                             "[baseline dll]\n");
        return 2;
    }
    std::string folder = argv[1];
    // The host's thread is a single-threaded apartment that dispatches messages, as the runtime's is.
    if (FAILED(CoInitialize(nullptr))) return 1;
    DriverApi api, baselineApi;
    ::testing::AssertionResult loaded = LoadDriverApi(api);
    bool ok = loaded;
    if (!ok) std::fprintf(stderr, "bench_exchange: %s\n", loaded.message());
    Builds builds{&api, nullptr};
    if (ok && argc == 4) {
        ok = LoadBaseline(argv[3], baselineApi);
        builds.baseline = &baselineApi;
    }
    if (ok && batches) ok = RunBatchTable(builds, folder) && RunOwnTimeTable(builds, folder);
    if (ok && host) ok = RunHostCostTable(builds, folder);
    if (ok && subscribe) ok = RunSubscriptionTable(builds, folder);
    UnloadDriverApi(baselineApi);
    UnloadDriverApi(api);
    CoUninitialize();
    return ok ? 0 : 1;
}
