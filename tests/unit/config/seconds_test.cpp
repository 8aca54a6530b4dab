#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "config/seconds.h"
#include "tests/support/x86_only.h"
#include "tests/unit/config/x87_precision.h"

namespace {

constexpr std::uint32_t kUntouched = 0xDEADBEEF;

struct SecondsRow {
    double seconds;
    bool accepted;
    std::uint32_t ms;
};

const SecondsRow kRows[] = {
    {4.35, true, 4350}, // its double lies below 4.35: multiplying by 1000 under 64 bits gives 4349
    {0.29, true, 290},
    {2.5, true, 2500},
    {0.0, true, 0},
    {-0.0, true, 0},
    {0.001, true, 1},
    {0.0004, true, 0},
    {0.0009, true, 0},
    {0.0009994, true, 0},
    {0.0009999996, true, 1}, // beyond six decimals the microsecond is rounded first
    {1.9999, true, 1999},
    {1.0005, true, 1000},
    {0.0015, true, 1},
    {86400.0, true, 86400000},
    {4294967.294, true, 4294967294u},
    {4294967.2949, true, 4294967294u},
    {1e-300, true, 0},
    {std::numeric_limits<double>::denorm_min(), true, 0},
    {4294967.295, false, 0},
    {4294967296.0, false, 0},
    {1e300, false, 0},
    {-0.0004, false, 0},
    {-1.0, false, 0},
    {std::numeric_limits<double>::quiet_NaN(), false, 0},
    {std::numeric_limits<double>::infinity(), false, 0},
};

TEST(SecondsToMilliseconds, TableIsTheSameUnderEveryPrecision)
{
    for (const X87Precision& precision : kX87Precisions) {
        for (const SecondsRow& row : kRows) {
            SCOPED_TRACE(std::string(precision.name) + ", " + std::to_string(row.seconds));
            std::uint32_t ms = kUntouched;
            bool accepted = false;
            UnderPrecision(precision, [&] { accepted = SecondsToMilliseconds(row.seconds, &ms); });
            EXPECT_EQ(accepted, row.accepted);
            EXPECT_EQ(ms, row.accepted ? row.ms : kUntouched);
        }
    }
}

// k / 1000.0 under 53-bit precision is the double nearest to a time written with three decimals
// (under 64 bits the quotient would be rounded twice). Each must give exactly k ms.
std::uint32_t CountMismatches(std::uint32_t first, std::uint32_t count, std::uint32_t step,
                              const X87Precision& precision)
{
    std::uint32_t mismatches = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t k = first + i * step;
        double seconds = 0.0;
        UnderPrecision(kX87Precisions[1], [&] { seconds = static_cast<double>(k) / 1000.0; });
        std::uint32_t ms = kUntouched;
        bool accepted = false;
        UnderPrecision(precision, [&] { accepted = SecondsToMilliseconds(seconds, &ms); });
        if (!accepted || ms != k) ++mismatches;
    }
    return mismatches;
}

TEST(SecondsToMilliseconds, EveryTimeWithThreeDecimalsIsExact)
{
    for (const X87Precision& precision : kX87Precisions) {
        SCOPED_TRACE(precision.name);
        EXPECT_EQ(CountMismatches(0, 100000, 1, precision), 0u);           // 0 to 99.999 s
        EXPECT_EQ(CountMismatches(4294867295u, 100000, 1, precision), 0u); // the top 100 s
        EXPECT_EQ(CountMismatches(123457, 100000, 42949, precision), 0u);  // spread over the range
    }
}

X86_ONLY_TEST(X87Precision, TimesUnder24And64BitPrecision,
              "x87 precision control exists only on x86; here the precision cases run under SSE2's one")

} // namespace
