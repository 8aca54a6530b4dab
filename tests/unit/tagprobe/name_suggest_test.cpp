// Suggestions for misspelt keys and ItemIds: near names in, far names and the name itself out.
#include <gtest/gtest.h>

#include "config/server_keys.h"
#include "tools/tagprobe/name_suggest.h"

namespace {

std::vector<std::wstring> ServerKeyNames()
{
    std::vector<std::wstring> names;
    for (const auto& key : kServerKeys)
        names.emplace_back(key.name);
    return names;
}

TEST(EditDistance, CountsInsertsDeletesReplacesAndNeighbourSwapsAsOneEach)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        std::size_t distance;
    };
    const Case cases[] = {
        {L"update_rate", L"update_rate", 0},
        {L"udpate_rate", L"update_rate", 1}, // a swap is one edit
        {L"update_rat", L"update_rate", 1},
        {L"updatte_rate", L"update_rate", 1},
        {L"upgate_rate", L"update_rate", 1},
        {L"UPDATE_RATE", L"update_rate", 0}, // ASCII case is no edit
        {L"", L"sync", 4},
        {L"sync", L"", 4},
        {L"ab", L"ba", 1},
        {L"abc", L"ca", 3},
        {L"Tank\u00C4", L"tank\u00E4", 1}, // only ASCII letters fold
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a, c.a + wcslen(c.a)) + " / " + std::string(c.b, c.b + wcslen(c.b)));
        EXPECT_EQ(EditDistance(c.a, c.b), c.distance);
        EXPECT_EQ(EditDistance(c.b, c.a), c.distance);
    }
}

TEST(EditDistance, ABoundStopsEarlyAboveItAndIsExactUpToIt)
{
    EXPECT_GT(EditDistance(L"Plant.Tank1.Level", L"Boiler.Pressure.Value", 3), 3u);
    EXPECT_EQ(EditDistance(L"udpate_rate", L"update_rate", 1), 1u);
    EXPECT_EQ(EditDistance(L"abcdef", L"badcfe", 3), 3u); // three swaps: exactly at the bound
    EXPECT_GT(EditDistance(L"abcdef", L"badcfe", 2), 2u);
}

TEST(ClosestNames, ATypoInAServerKeyFindsTheKey)
{
    const std::vector<std::wstring> keys = ServerKeyNames();
    struct Case {
        const wchar_t* typo;
        const wchar_t* key;
    };
    const Case cases[] = {
        {L"udpate_rate", L"update_rate"},
        {L"updaterate", L"update_rate"},
        {L"wait_runing", L"wait_running"},
        {L"waittime", L"wait_time"},
        {L"batch_timout", L"batch_timeout"},
        {L"reconect", L"reconnect"},
        {L"dbug", L"debug"},
        {L"hots", L"host"},
        {L"CLSDI", L"CLSID"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typo, c.typo + wcslen(c.typo)));
        EXPECT_EQ(ClosestNames(c.typo, keys, 1), std::vector<std::wstring>{c.key});
    }
}

TEST(ClosestNames, NamesTooFarFromEveryKeyGetNoSuggestion)
{
    const std::vector<std::wstring> keys = ServerKeyNames();
    for (const wchar_t* far : {L"colour", L"timeout", L"x", L"retries", L"update"}) {
        SCOPED_TRACE(std::string(far, far + wcslen(far)));
        EXPECT_TRUE(ClosestNames(far, keys, 3).empty());
    }
}

TEST(ClosestNames, ItemIdsNearestFirstAtMostTheCountAskedAndNeverTheNameItself)
{
    const std::vector<std::wstring> browsed = {L"Plant.Tank2.Level", L"Plant.Tank1.Level",
                                               L"Plant.Tank1.Levl", L"Plant.Pump1.Running",
                                               L"Plant.Tank1.LevelSetpoint"};
    EXPECT_EQ(ClosestNames(L"Plant.Tank1.Levl", browsed, 3),
              (std::vector<std::wstring>{L"Plant.Tank1.Level", L"Plant.Tank2.Level"}));
    EXPECT_EQ(ClosestNames(L"Plant.Tank1.Levl", browsed, 1), std::vector<std::wstring>{L"Plant.Tank1.Level"});
    // A name that differs only in case is the likeliest meaning of all (ItemIds are case-sensitive).
    EXPECT_EQ(ClosestNames(L"plant.tank1.level", browsed, 1),
              std::vector<std::wstring>{L"Plant.Tank1.Level"});
    EXPECT_TRUE(ClosestNames(L"Boiler.Pressure", browsed, 3).empty());
    EXPECT_TRUE(ClosestNames(L"Plant.Tank1.Levl", {}, 3).empty());
}

TEST(AlternativesText, JoinsWithCommasAndAFinalOr)
{
    EXPECT_EQ(AlternativesText({L"A"}), L"A");
    EXPECT_EQ(AlternativesText({L"A", L"B"}), L"A or B");
    EXPECT_EQ(AlternativesText({L"A", L"B", L"C"}), L"A, B or C");
}

} // namespace
