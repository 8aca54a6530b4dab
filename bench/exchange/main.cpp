// Read and write batches of tagport.dll against the simulation server, beside a bare OPC client making
// the same calls on the same items; the driver's own part of a batch, from its trace; and the host-side
// cost of the exports against the table size.
// Usage: bench_exchange <folder with the parameter files of scripts/bench> [batches|host]
// Prints markdown tables on stdout, progress on stderr; exits non-zero when anything failed.

#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>
#include <objbase.h>

#include "bench/exchange/batch_table.h"
#include "bench/exchange/host_cost_table.h"
#include "bench/exchange/own_time_table.h"
#include "tests/support/driver_api.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_exchange <parameter file folder> [batches|host]\n");
        return 2;
    }
    std::string folder = argv[1];
    bool batches = argc == 2 || std::strcmp(argv[2], "batches") == 0;
    bool host = argc == 2 || std::strcmp(argv[2], "host") == 0;
    // The host's thread is a single-threaded apartment that dispatches messages, as the runtime's is.
    if (FAILED(CoInitialize(nullptr))) return 1;
    DriverApi api;
    ::testing::AssertionResult loaded = LoadDriverApi(api);
    bool ok = loaded;
    if (!ok) std::fprintf(stderr, "bench_exchange: %s\n", loaded.message());
    if (ok && batches) ok = RunBatchTable(api, folder) && RunOwnTimeTable(api, folder);
    if (ok && host) ok = RunHostCostTable(api, folder);
    UnloadDriverApi(api);
    CoUninitialize();
    return ok ? 0 : 1;
}
