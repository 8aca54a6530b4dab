#pragma once
// Figures as the markdown tables show them: three significant digits, and a median with its range.

#include <string>

#include "bench/common/bench_timing.h"

// 1234 -> "1234", 12.345 -> "12.3", 0.012345 -> "0.0123".
std::string Figure(double value);
// "median [min, max]".
std::string MedianAndRange(const Spread& spread);
