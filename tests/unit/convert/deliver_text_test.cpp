#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "convert/caller_exchange.h"
#include "convert/value_payload.h"
#include "tests/unit/convert/convert_fixture.h"
#include "tests/unit/convert/text_buffer.h"

namespace {

// The ANSI cases are written for the single-byte code page the default test run has.
class DeliverTextTest : public ConvertTest {
protected:
    void SetUp() override
    {
        ConvertTest::SetUp();
        if (GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, have " << GetACP();
    }

    const HostValue& Source(const std::wstring& text) { return Keep(StringOf(text)); }
};

const HostValue kNullString = MakeValue(TypeString, static_cast<HostString>(nullptr));

TEST_F(DeliverTextTest, WideTextHoldsAtMost255CharactersAndANul)
{
    const struct {
        const char* name;
        std::wstring text;
        std::wstring delivered;
    } rows[] = {
        {"abc", L"abc", L"abc"},
        {"empty", L"", L""},
        {"255", std::wstring(255, L'x'), std::wstring(255, L'x')},
        {"256", std::wstring(256, L'x'), std::wstring(255, L'x')},
        {"300", std::wstring(300, L'x'), std::wstring(255, L'x')},
        {"embedded NUL", std::wstring(L"a\0b", 3), L"a"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostTextBuffer<wchar_t> buffer;
        HostValue destination = MakeValue(TypeText, static_cast<void*>(buffer.chars));
        ASSERT_TRUE(DeliverValue(Source(row.text), destination, true));
        EXPECT_EQ(buffer.Text(), row.delivered);
        EXPECT_TRUE(buffer.UntouchedFrom(row.delivered.size() + 1));
    }
}

TEST_F(DeliverTextTest, AnsiTextThatNeeds256BytesOrMoreIsTheEmptyText)
{
    const struct {
        const char* name;
        std::wstring text;
        std::string delivered;
    } rows[] = {
        {"abc", L"abc", "abc"},
        {"code page character", L"h\u00e9", "h\xe9"},
        {"255", std::wstring(255, L'x'), std::string(255, 'x')},
        {"256", std::wstring(256, L'x'), ""},
        {"300", std::wstring(300, L'x'), ""},
        {"embedded NUL", std::wstring(L"a\0b", 3), "a"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostTextBuffer<char> buffer;
        HostValue destination = MakeValue(TypeText, static_cast<void*>(buffer.chars));
        ASSERT_TRUE(DeliverValue(Source(row.text), destination, false));
        EXPECT_EQ(buffer.Text(), row.delivered);
        EXPECT_TRUE(buffer.UntouchedFrom(256));
    }
}

TEST_F(DeliverTextTest, NullStringIsTheEmptyTextInBothWidths)
{
    HostTextBuffer<wchar_t> wide;
    HostValue destination = MakeValue(TypeText, static_cast<void*>(wide.chars));
    ASSERT_TRUE(DeliverValue(kNullString, destination, true));
    EXPECT_EQ(wide.Text(), L"");
    EXPECT_TRUE(wide.UntouchedFrom(1));

    HostTextBuffer<char> ansi;
    destination = MakeValue(TypeText, static_cast<void*>(ansi.chars));
    ASSERT_TRUE(DeliverValue(kNullString, destination, false));
    EXPECT_EQ(ansi.Text(), "");
    EXPECT_TRUE(ansi.UntouchedFrom(1));
}

TEST_F(DeliverTextTest, CountedTextFillsTheCapacityWithoutATerminator)
{
    const struct {
        const char* name;
        std::wstring text;
        std::uint32_t capacity;
        std::uint32_t length;
    } rows[] = {
        {"abc in 2", L"abc", 2, 2},
        {"abc in 10", L"abc", 10, 3},
        {"empty", L"", 10, 0},
        {"capacity 0", L"abc", 0, 0},
        {"300 in 300", std::wstring(300, L'y'), 300, 300},
        {"embedded NUL", std::wstring(L"a\0b", 3), 10, 3},
    };
    for (bool wide : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << row.name << (wide ? ", wide" : ", ANSI"));
            HostTextBuffer<wchar_t> wideBuffer;
            HostTextBuffer<char> ansiBuffer;
            void* buffer = wide ? static_cast<void*>(wideBuffer.chars) : static_cast<void*>(ansiBuffer.chars);
            HostValue destination = CountedText(TypeTextBuf, row.capacity, buffer);
            ASSERT_TRUE(DeliverValue(Source(row.text), destination, wide));
            EXPECT_EQ(ReadPayload<std::uint32_t>(destination, kBufLengthOffset), row.length);
            EXPECT_EQ(ReadPayload<void*>(destination, kBufPointerOffset), buffer);
            std::wstring expected = row.text.substr(0, row.length);
            if (wide)
                EXPECT_EQ(std::wstring(wideBuffer.chars, row.length), expected);
            else
                EXPECT_EQ(std::string(ansiBuffer.chars, row.length),
                          std::string(expected.begin(), expected.end()));
            EXPECT_TRUE(wide ? wideBuffer.UntouchedFrom(row.length) : ansiBuffer.UntouchedFrom(row.length));
        }
    }
}

TEST_F(DeliverTextTest, NullStringGivesCountZero)
{
    for (bool wide : {false, true}) {
        HostTextBuffer<wchar_t> buffer;
        HostValue destination = CountedText(TypeTextBuf, 10, buffer.chars);
        ASSERT_TRUE(DeliverValue(kNullString, destination, wide));
        EXPECT_EQ(ReadPayload<std::uint32_t>(destination, kBufLengthOffset), 0u);
        EXPECT_TRUE(buffer.UntouchedFrom(0));
    }
}

TEST_F(DeliverTextTest, DestinationWithoutABufferIsRefused)
{
    for (bool wide : {false, true}) {
        for (HostValue destination :
             {MakeValue(TypeText, static_cast<void*>(nullptr)), CountedText(TypeTextBuf, 10, nullptr)}) {
            SCOPED_TRACE(testing::Message() << destination.type << (wide ? ", wide" : ", ANSI"));
            const HostValue before = destination;
            EXPECT_FALSE(DeliverValue(Source(L"abc"), destination, wide));
            EXPECT_EQ(std::memcmp(&destination, &before, sizeof before), 0);
        }
    }
}

} // namespace
