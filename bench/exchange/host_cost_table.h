#pragma once
// The time the host's thread spends inside the exports per channel (request, finalize, get), against
// the number of configured channels: the same batch of channels, spread over ever larger tables.

#include <string>

#include "bench/exchange/builds.h"

// Uses <folder>/async_<N>.par for each table size and prints the markdown table; false (with the
// reason on stderr) when Init or a batch failed.
bool RunHostCostTable(const Builds& builds, const std::string& folder);
