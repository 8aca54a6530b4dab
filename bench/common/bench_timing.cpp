#include "bench/common/bench_timing.h"

#include <algorithm>

#include <windows.h>

double NowMs()
{
    static const double msPerTick = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * msPerTick;
}

Spread Summarise(std::vector<double> samples)
{
    Spread spread;
    if (samples.empty()) return spread;
    std::sort(samples.begin(), samples.end());
    std::size_t n = samples.size();
    spread.min = samples.front();
    spread.max = samples.back();
    spread.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    spread.q1 = samples[(n - 1) / 4];
    spread.q3 = samples[(3 * (n - 1) + 3) / 4];
    return spread;
}

Spread RoundRatios(const std::vector<double>& numerators, const std::vector<double>& denominators)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < numerators.size() && i < denominators.size(); ++i)
        ratios.push_back(numerators[i] / denominators[i]);
    return Summarise(ratios);
}
