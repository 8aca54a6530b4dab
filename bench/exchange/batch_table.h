#pragma once
// Read and write batch latency of the driver and of the bare client, side by side in one run.

#include <string>

#include "bench/exchange/builds.h"

// Runs every size in both modes with the parameter files <folder>/<mode>_<N>.par and prints the markdown
// table; false (with the reason on stderr) when a connection or a batch failed.
bool RunBatchTable(const Builds& builds, const std::string& folder);
