#pragma once
// Timing of the benchmark programs: QueryPerformanceCounter readings, and the summary of repeated runs
// (median and spread), so that one slow run on a shared machine does not decide a figure.

#include <vector>

// Milliseconds since an arbitrary start, at the resolution of QueryPerformanceCounter.
double NowMs();

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
    double q1 = 0; // lower and upper quartile (nearest rank)
    double q3 = 0;
};

// All zero for no samples.
Spread Summarise(std::vector<double> samples);
// The summary of numerators[i] / denominators[i] over the rounds both series have: the samples of one
// round are adjacent in time, so the ratio of a round is little disturbed by a load that comes and goes
// on the machine.
Spread RoundRatios(const std::vector<double>& numerators, const std::vector<double>& denominators);
