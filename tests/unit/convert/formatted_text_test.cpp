// Currency, date and decimal values arrive as text in the user's default locale. The expected texts
// depend on that locale, so each test looks up the locale it runs in (ctest runs this suite in more
// than one) and is skipped in a locale it has no texts for.
#include <cstdint>

#include <gtest/gtest.h>

#include "convert/value_payload.h"
#include "convert/variant_to_value.h"
#include "hostrt/core.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

struct LocaleTexts {
    LCID lcid;
    const wchar_t* currency; // 1234.5678
    const wchar_t* date;     // 17 May 2024, 13:44:59
    const wchar_t* decimal;  // -123.45
};

const LocaleTexts kLocales[] = {
    {0x0409, L"1234.5678", L"5/17/2024 1:44:59 PM", L"-123.45"},
    {0x0407, L"1234,5678", L"17.5.2024 13:44:59", L"-123,45"},
};

class FormattedText : public ConvertTest {
protected:
    void SetUp() override
    {
        ConvertTest::SetUp();
        LCID lcid = GetUserDefaultLCID();
        for (const LocaleTexts& row : kLocales)
            if (row.lcid == lcid) texts = &row;
        if (texts == nullptr) GTEST_SKIP() << "no expected texts for the user's locale " << std::hex << lcid;
        SYSTEMTIME time{2024, 5, 5, 17, 13, 44, 59, 0};
        ASSERT_TRUE(SystemTimeToVariantTime(&time, &date));
        currency.int64 = 12345678;
        decimal.scale = 2;
        decimal.sign = DECIMAL_NEG;
        decimal.Lo64 = 12345;
    }

    const LocaleTexts* texts = nullptr;
    DATE date = 0;
    CY currency{};
    DECIMAL decimal{};
};

TEST_F(FormattedText, CurrencyDateAndDecimalBecomeTextInTheUserLocale)
{
    VARIANT currencyValue = DatumVariant(VT_CY, 0, 0);
    currencyValue.cyVal = currency;
    VARIANT dateValue = DatumVariant(VT_DATE, 0, 0);
    dateValue.date = date;
    const struct {
        const char* name;
        VARIANT v;
        const wchar_t* text;
    } rows[] = {
        {"CY", currencyValue, texts->currency},
        {"CY by reference", RefVariant(VT_CY, &currency), texts->currency},
        {"DATE", dateValue, texts->date},
        {"DATE by reference", RefVariant(VT_DATE, &date), texts->date},
        {"DECIMAL by reference", RefVariant(VT_DECIMAL, &decimal), texts->decimal},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostValue& value = Keep(SentinelValue(TypeF64));
        std::int64_t comBlocks = OutstandingComBlocks();
        ASSERT_TRUE(VariantToValue(row.v, value));
        EXPECT_EQ(TextOf(value), row.text);
        EXPECT_EQ(OutstandingComBlocks(), comBlocks) << "the formatted BSTR is freed";
    }
}

TEST_F(FormattedText, TextIsWrittenIntoTheStringTheValueHolds)
{
    HostValue& value = Keep(StringOf(L"a previous text longer than the date"));
    HostString block = ReadPayload<HostString>(value);
    std::uint32_t blocks = LiveBlockCount();
    ASSERT_TRUE(VariantToValue(RefVariant(VT_DATE, &date), value));
    EXPECT_EQ(TextOf(value), texts->date);
    EXPECT_EQ(ReadPayload<HostString>(value), block);
    EXPECT_EQ(LiveBlockCount(), blocks);
}

} // namespace
