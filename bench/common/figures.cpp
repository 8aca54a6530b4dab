#include "bench/common/figures.h"

#include <cmath>
#include <cstdio>

std::string Figure(double value)
{
    double magnitude = std::fabs(value);
    int decimals =
        magnitude >= 100 || magnitude == 0 ? 0 : 2 - static_cast<int>(std::floor(std::log10(magnitude)));
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string MedianAndRange(const Spread& spread)
{
    return Figure(spread.median) + " [" + Figure(spread.min) + ", " + Figure(spread.max) + "]";
}
