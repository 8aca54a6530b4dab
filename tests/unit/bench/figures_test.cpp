#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"

namespace {

struct SpreadCase {
    const char* name;
    std::vector<double> samples;
    Spread expected;
};

class Summaries : public ::testing::TestWithParam<SpreadCase> {};

TEST_P(Summaries, GiveMedianRangeAndQuartiles)
{
    Spread s = Summarise(GetParam().samples);
    const Spread& e = GetParam().expected;
    EXPECT_DOUBLE_EQ(s.median, e.median);
    EXPECT_DOUBLE_EQ(s.min, e.min);
    EXPECT_DOUBLE_EQ(s.max, e.max);
    EXPECT_DOUBLE_EQ(s.q1, e.q1);
    EXPECT_DOUBLE_EQ(s.q3, e.q3);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, Summaries,
    ::testing::Values(SpreadCase{"None", {}, {0, 0, 0, 0, 0}},
                      SpreadCase{"One", {4.5}, {4.5, 4.5, 4.5, 4.5, 4.5}},
                      // Unsorted on purpose: the summary sorts its own copy.
                      SpreadCase{"OddCount", {9, 1, 5, 3, 7}, {5, 1, 9, 3, 7}},
                      SpreadCase{"EvenCountAveragesTheMiddleTwo", {4, 1, 3, 2}, {2.5, 1, 4, 1, 4}},
                      SpreadCase{"OneOutlierMovesOnlyTheMax", {1, 1, 1, 1, 1000}, {1, 1, 1000, 1, 1}}),
    [](const ::testing::TestParamInfo<SpreadCase>& info) { return std::string(info.param.name); });

TEST(RoundRatios, PairTheSeriesRoundByRoundAndSummariseTheQuotients)
{
    // Round by round: 2/1, 6/2, 8/8; a ratio of the medians would be 6/2 = 3, not the median quotient 2.
    Spread s = RoundRatios({2, 6, 8}, {1, 2, 8});
    EXPECT_DOUBLE_EQ(s.median, 2);
    EXPECT_DOUBLE_EQ(s.min, 1);
    EXPECT_DOUBLE_EQ(s.max, 3);
}

TEST(RoundRatios, StopAtTheShorterSeries)
{
    // A series cut short by a failed round is paired only as far as both go.
    Spread s = RoundRatios({4, 9, 100}, {2, 3});
    EXPECT_DOUBLE_EQ(s.median, 2.5);
    EXPECT_DOUBLE_EQ(s.max, 3);
    Spread none = RoundRatios({}, {1, 2});
    EXPECT_DOUBLE_EQ(none.median, 0);
    EXPECT_DOUBLE_EQ(none.max, 0);
}

struct FigureCase {
    double value;
    const char* text;
};

class Figures : public ::testing::TestWithParam<FigureCase> {};

TEST_P(Figures, ShowThreeSignificantDigitsAndWholeNumbersFrom100)
{
    EXPECT_EQ(Figure(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, Figures,
                         ::testing::Values(FigureCase{0, "0"}, FigureCase{5, "5.00"},
                                           FigureCase{12.345, "12.3"}, FigureCase{99.94, "99.9"},
                                           FigureCase{100, "100"}, FigureCase{1234.4, "1234"},
                                           FigureCase{0.5, "0.500"}, FigureCase{0.012345, "0.0123"},
                                           FigureCase{-2.5, "-2.50"}, FigureCase{-150.4, "-150"}));

TEST(MedianAndRange, PutsTheRangeInBracketsAfterTheMedian)
{
    Spread spread;
    spread.median = 2.5;
    spread.min = 1;
    spread.max = 1234;
    EXPECT_EQ(MedianAndRange(spread), "2.50 [1.00, 1234]");
}

TEST(NowMs, NeverRunsBackwards)
{
    double earlier = NowMs();
    double later = NowMs();
    EXPECT_LE(earlier, later);
    EXPECT_GT(earlier, 0);
}

} // namespace
