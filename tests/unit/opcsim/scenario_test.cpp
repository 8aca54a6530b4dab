// The scenario language: what it accepts, how values read back as text, and the errors it reports.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "opcsim/scenario.h"
#include "opcsim/value_text.h"
#include "tests/support/sim_items.h"

namespace {

struct ScenarioFixture : ::testing::Test {
    void TearDown() override { ReleaseScenario(scenario); }
    Scenario scenario{};
    std::string error{};
};

} // namespace

using ScenarioParse = ScenarioFixture;

TEST_F(ScenarioParse, StandardItemsParseWithTheirTypesAndOptions)
{
    ASSERT_TRUE(ParseScenario(kSimStandardItems, scenario, error)) << error;
    ASSERT_EQ(scenario.items.size(), 26u);
    const SimItem& matrix = scenario.items[19];
    EXPECT_EQ(matrix.itemId, L"Sim.I4Matrix");
    EXPECT_EQ(V_VT(&matrix.initial), VT_ARRAY | VT_I4);
    EXPECT_EQ(FormatDims(matrix.initial), "2,3");
    EXPECT_EQ(scenario.items[23].quality, 0x18);
    EXPECT_TRUE(scenario.items[0].fixedTime);
    EXPECT_EQ(scenario.items[25].signal.kind, SignalKind::Ramp);
    EXPECT_EQ(scenario.items[25].signal.periodMs, 10000u);
}

TEST_F(ScenarioParse, ThePlantExampleParses)
{
    std::ifstream file(TAGPORT_SOURCE_DIR "/examples/plant.scenario", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    ASSERT_FALSE(text.str().empty());
    ASSERT_TRUE(ParseScenario(text.str(), scenario, error)) << error;
    EXPECT_EQ(scenario.items.size(), 14u);
}

TEST_F(ScenarioParse, BehavioursAreRead)
{
    ASSERT_TRUE(ParseScenario("behaviour status NOCONFIG:3000ms TEST:2calls 77\n"
                              "behaviour result SyncRead 0x80004005 from=3\n"
                              "behaviour item-error OnWriteComplete Sim.R8 0x0004000E\n"
                              "behaviour crash any 5\nbehaviour hang AsyncWrite\n"
                              "behaviour shutdown after=2:SyncRead reason=\"Plant stop\"\n"
                              "behaviour lacks group IOPCAsyncIO2\nbehaviour completions thread\n"
                              "behaviour foreign-handles OnWriteComplete\n"
                              "behaviour changes stop after=1500ms\nbehaviour changes quality=0x40\n",
                              scenario, error))
        << error;
    ASSERT_EQ(scenario.status.size(), 3u);
    EXPECT_EQ(scenario.status[0].state, 3u);
    EXPECT_EQ(scenario.status[0].length, 3000u);
    EXPECT_FALSE(scenario.status[0].inCalls);
    EXPECT_TRUE(scenario.status[1].inCalls);
    EXPECT_EQ(scenario.status[2].state, 77u);
    ASSERT_EQ(scenario.results.size(), 1u);
    EXPECT_EQ(scenario.results[0].hr, static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(scenario.results[0].fromCall, 3u);
    EXPECT_EQ(scenario.itemErrors[0].method, SimMethod::OnWriteComplete);
    EXPECT_EQ(scenario.crashes[0].method, SimMethod::Any);
    EXPECT_EQ(scenario.hangs[0].nth, 1u);
    EXPECT_EQ(scenario.shutdown.reason, L"Plant stop");
    EXPECT_EQ(scenario.shutdown.afterCount, 2u);
    EXPECT_TRUE(scenario.lacks.asyncIo);
    EXPECT_EQ(scenario.delivery, Delivery::Thread);
    EXPECT_FALSE(scenario.foreignRead);
    EXPECT_TRUE(scenario.foreignWrite);
    EXPECT_TRUE(scenario.changes.stop);
    EXPECT_EQ(scenario.changes.stopAfterMs, 1500u);
    EXPECT_TRUE(scenario.changes.forceQuality);
    EXPECT_EQ(scenario.changes.quality, 0x40);
}

struct BadLine {
    const char* text;
    const char* error;
};

TEST_F(ScenarioParse, MalformedLinesAreRefusedWithTheirLineNumber)
{
    const BadLine cases[] = {
        {"item A R9 r 1", "line 1: unknown type R9"},
        {"item A I1 r 128", "line 1: bad I1 value 128"},
        {"item A UI4 r -1", "line 1: bad UI4 value -1"},
        {"item A I4 x 1", "line 1: access must be r, w or rw: x"},
        {"item A R8[3] r {1 2}", "line 1: R8[3] needs 3 values, has 2"},
        {"item A R8[3] r {1 2 3", "line 1: missing }"},
        {"item A BSTR r \"open", "line 1: unterminated quote"},
        {"item A BSTR r x signal=ramp", "line 1: signal needs a numeric scalar item (toggle also BOOL)"},
        {"item A CY r 1.23456", "line 1: bad CY value 1.23456"},
        {"item A DATE r 2024-02-30", "line 1: bad DATE value 2024-02-30"},
        {"\nbehaviour delay NoSuchCall 5", "line 2: unknown call NoSuchCall"},
        {"behaviour lacks group IOPCServer", "line 1: lacks needs server|group and an interface it can lack"},
        {"item A I4 r 1\nitem A I4 r 2", "duplicate item A"},
        {"frobnicate", "line 1: unknown line frobnicate"},
        {"behaviour changes stop after=5", "line 1: changes takes stop [after=<n>ms] or quality=<n>"},
        {"behaviour changes stop 5ms", "line 1: changes takes stop [after=<n>ms] or quality=<n>"},
        {"behaviour changes quality=0x10000", "line 1: changes takes stop [after=<n>ms] or quality=<n>"},
        {"behaviour changes", "line 1: changes takes stop [after=<n>ms] or quality=<n>"},
    };
    for (const BadLine& c : cases) {
        SCOPED_TRACE(c.text);
        Scenario s;
        std::string why;
        EXPECT_FALSE(ParseScenario(c.text, s, why));
        EXPECT_EQ(why, c.error);
        ReleaseScenario(s);
    }
}

struct ValueCase {
    const char* type;
    const char* text;
    const char* formatted;
};

TEST(ValueText, ScalarTextsReadBackExactly)
{
    const ValueCase cases[] = {
        {"I1", "-128", "-128"},
        {"I8", "-9223372036854775808", "-9223372036854775808"},
        {"UI8", "18446744073709551615", "18446744073709551615"},
        {"R4", "0.1", "0.1"},
        {"R4", "3.4028235e38", "3.4028235e+38"},
        {"R8", "0.1", "0.1"},
        {"R8", "60", "60"},
        {"R8", "nan", "nan"},
        {"R8", "-inf", "-inf"},
        {"BOOL", "false", "false"},
        {"BSTR", "a \"q\" b", "\"a \\\"q\\\" b\""},
        {"CY", "-0.5", "-0.5"},
        {"CY", "922337203685477.5807", "922337203685477.5807"},
        {"DATE", "1899-12-29T06:00:00", "1899-12-29T06:00:00"},
        {"DATE", "2024-05-17T13:44:59.500", "2024-05-17T13:44:59.500"},
        {"DECIMAL", "-79228162514264337593543950335", "-79228162514264337593543950335"},
        {"ERROR", "0x80004005", "0x80004005"},
        {"EMPTY", "empty", "empty"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.text);
        ValueType type;
        std::string error;
        ASSERT_TRUE(ParseValueType(c.type, type, error));
        VARIANT v;
        ASSERT_TRUE(ParseScalar(type.element, c.text, v, error)) << error;
        EXPECT_EQ(V_VT(&v), type.element);
        EXPECT_EQ(FormatValue(v), c.formatted);
        VariantClear(&v);
    }
}

TEST(ValueText, ArraysKeepBoundsAndMemoryOrder)
{
    ValueType type;
    std::string error;
    ASSERT_TRUE(ParseValueType("I2[1..2,3]", type, error));
    VARIANT v;
    ASSERT_TRUE(BuildArray(type, {"1", "2", "3", "4", "5", "6"}, v, error)) << error;
    EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_I2);
    EXPECT_EQ(FormatDims(v), "1..2,3");
    EXPECT_EQ(FormatValue(v), "{1 2 3 4 5 6}");
    LONG low = 0, high = 0;
    SafeArrayGetLBound(V_ARRAY(&v), 1, &low);
    SafeArrayGetUBound(V_ARRAY(&v), 1, &high);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 2);
    LONG index[2] = {1, 2}; // dimension 1 varies fastest: (2, 1) is the second element
    SHORT element = 0;
    index[0] = 2;
    index[1] = 0;
    SafeArrayGetElement(V_ARRAY(&v), index, &element);
    EXPECT_EQ(element, 2);
    VariantClear(&v);
}
