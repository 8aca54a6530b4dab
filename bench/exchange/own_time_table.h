#pragma once
// The driver's own time per batch: the whole batch as the host sees it, less the window from the trace
// line before the server call to the completion's (or the return's) trace line. Independent of how
// fast the server and COM are at the moment, which varies much on a shared machine.

#include <string>

#include "bench/exchange/builds.h"

// Uses the trace_<mode>_<N>.par files ("debug = yes"); prints the markdown table; false (with the
// reason on stderr) when Init, a batch or the trace failed.
bool RunOwnTimeTable(const Builds& builds, const std::string& folder);
