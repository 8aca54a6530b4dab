#include <clocale>
#include <cstring>
#include <string>

#include "param_reader_fixture.h"

namespace {

class ParamValues : public ParamReaderTest {
protected:
    // Opens a file whose section "s" holds the single entry "v = <value>".
    ::testing::AssertionResult OpenValue(const std::string& value)
    {
        ::testing::AssertionResult opened = OpenBytes("[s]\nv = " + value + "\n");
        if (opened && !FindSection(L"s")) return ::testing::AssertionFailure() << "no section";
        return opened;
    }
};

std::uint64_t BitsOf(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct BoolRow {
    const char* text;
    bool accepted;
    bool value;
};

TEST_F(ParamValues, BooleansInEveryAcceptedForm)
{
    const BoolRow rows[] = {
        {"true", true, true}, {"TRUE", true, true},      {"False", true, false},  {"yes", true, true},
        {"No", true, false},  {"on", true, true},        {"OFF", true, false},    {"1", true, true},
        {"0", true, false},   {"  yes  ", true, true},   {"", false, false},      {"y", false, false},
        {"2", false, false},  {"01", false, false},      {"truee", false, false}, {"yes no", false, false},
        {"-1", false, false}, {"enabled", false, false},
    };
    for (const BoolRow& row : rows) {
        SCOPED_TRACE(row.text);
        ASSERT_TRUE(OpenValue(row.text));
        for (bool sentinel : {false, true}) {
            bool value = sentinel;
            EXPECT_EQ(reader.ReadBool(1, L"v", &value), row.accepted);
            EXPECT_EQ(value, row.accepted ? row.value : sentinel);
        }
    }
}

struct RealRow {
    const char* text;
    bool accepted;
    std::uint64_t bits; // exact, so that rounding shows
};

TEST_F(ParamValues, RealsWithPointAndExponent)
{
    const RealRow rows[] = {
        {"2.5", true, 0x4004000000000000},
        {"0.0004", true, 0x3F3A36E2EB1C432D},
        {"86400", true, 0x40F5180000000000},
        {"-1", true, 0xBFF0000000000000},
        {"+1.5", true, 0x3FF8000000000000},
        {"1e3", true, 0x408F400000000000},
        {"1E-3", true, 0x3F50624DD2F1A9FC},
        {"2.5e+1", true, 0x4039000000000000},
        {".5", true, 0x3FE0000000000000},
        {"5.", true, 0x4014000000000000},
        {"0.1", true, 0x3FB999999999999A},
        {"-0", true, 0x8000000000000000},
        {"1.7976931348623157e308", true, 0x7FEFFFFFFFFFFFFF},
        {"4.9406564584124654e-324", true, 0x0000000000000001},
        {"2,5", false, 0},
        {"", false, 0},
        {"abc", false, 0},
        {"1.5x", false, 0},
        {"1.5 s", false, 0},
        {"nan", false, 0},
        {"NaN", false, 0},
        {"inf", false, 0},
        {"-Infinity", false, 0},
        {"1e", false, 0},
        {"1e+", false, 0},
        {"e5", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"--1", false, 0},
        {"1..2", false, 0},
        {"1.2.3", false, 0},
        {"0x10", false, 0},
        {"1e400", false, 0},
        {"1e-400", false, 0},
        {"1 000", false, 0},
    };
    for (const RealRow& row : rows) {
        SCOPED_TRACE(row.text);
        ASSERT_TRUE(OpenValue(row.text));
        double value = 1234.5;
        EXPECT_EQ(reader.ReadReal(1, L"v", &value), row.accepted);
        EXPECT_EQ(BitsOf(value), row.accepted ? row.bits : BitsOf(1234.5));
    }
}

TEST_F(ParamValues, RealIgnoresTheLocaleOfTheProcess)
{
    // A host may switch the C runtime to a locale whose decimal separator is a comma.
    if (std::setlocale(LC_NUMERIC, "German_Germany.1252") == nullptr) GTEST_SKIP() << "no German locale";
    bool commaLocale = std::localeconv()->decimal_point[0] == ',';
    double point = 0;
    double comma = 0;
    ASSERT_TRUE(OpenValue("2.5"));
    bool pointRead = reader.ReadReal(1, L"v", &point);
    ASSERT_TRUE(OpenValue("2,5"));
    bool commaRead = reader.ReadReal(1, L"v", &comma);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_TRUE(commaLocale) << "the locale did not change the separator, so this proves little";
    EXPECT_TRUE(pointRead);
    EXPECT_EQ(point, 2.5);
    EXPECT_FALSE(commaRead);
}

TEST_F(ParamValues, AbsentKeyLeavesTheValueAlone)
{
    ASSERT_TRUE(OpenValue("1"));
    bool flag = true;
    double real = 7.0;
    wchar_t text[4] = L"abc";
    EXPECT_FALSE(reader.ReadBool(1, L"w", &flag));
    EXPECT_FALSE(reader.ReadReal(1, L"w", &real));
    EXPECT_FALSE(reader.ReadText(1, L"w", 3, text));
    EXPECT_TRUE(flag);
    EXPECT_EQ(real, 7.0);
    EXPECT_STREQ(text, L"abc");
}

TEST_F(ParamValues, FirstOccurrenceDecidesEvenWhenItIsNoValue)
{
    ASSERT_TRUE(OpenBytes("[s]\nv = maybe\nv = yes\n"));
    ASSERT_TRUE(FindSection(L"s"));
    bool value = false;
    EXPECT_FALSE(reader.ReadBool(1, L"v", &value));
    EXPECT_EQ(reader.KeyCount(1, L"v"), 2u); // so the caller can tell "given twice" from "absent"
}

} // namespace
