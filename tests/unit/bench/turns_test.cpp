#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "bench/exchange/builds.h"

namespace {

// Every round gives each participant a turn of its own, and over as many rounds as there are
// participants each one has been first, so that none always follows another's work on the server.
TEST(RoundTurns, EachParticipantOnceARoundAndEachFirstInTurn)
{
    for (int participants : {2, 3}) {
        std::set<int> firsts;
        for (int round = 0; round < participants; ++round) {
            std::set<int> turns;
            for (int p = 0; p < participants; ++p) {
                int turn = TurnOf(p, round, participants);
                EXPECT_GE(turn, 0);
                EXPECT_LT(turn, participants);
                turns.insert(turn);
                if (turn == 0) firsts.insert(p);
            }
            EXPECT_EQ(turns.size(), static_cast<std::size_t>(participants)) << "round " << round;
        }
        EXPECT_EQ(firsts.size(), static_cast<std::size_t>(participants)) << participants << " participants";
    }
}

TEST(RoundTurns, TwoBuildsAlternate)
{
    std::vector<int> currentTurns;
    for (int round = 0; round < 4; ++round)
        currentTurns.push_back(TurnOf(0, round, 2));
    EXPECT_EQ(currentTurns, (std::vector<int>{0, 1, 0, 1}));
}

} // namespace
