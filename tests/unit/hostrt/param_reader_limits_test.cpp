#include <windows.h>

#include <string>

#include "param_reader_fixture.h"
#include "text_buffer.h"

namespace {

using ParamLimits = ParamReaderTest;

struct KeyRow {
    const char* key;
    const wchar_t* delivered;
    bool cut;
};

TEST_F(ParamLimits, LongKeyIsCutAndReported)
{
    const KeyRow rows[] = {
        {"10000000-200000", L"10000000-200000", false},
        {"100000000-20000", L"100000000-20000", false}, // exactly the maximum
        {"1000000-10000000", L"1000000-1000000", true}, // would read as another range
        {"1-2-3-4-5-6-7-8-9-10", L"1-2-3-4-5-6-7-8", true},
    };
    for (const KeyRow& row : rows) {
        SCOPED_TRACE(row.key);
        ASSERT_TRUE(OpenBytes(std::string("[channels]\n") + row.key + " = a\n"));
        ASSERT_TRUE(FindSection(L"channels"));
        GuardedBuffer<wchar_t> key;
        GuardedBuffer<wchar_t> value;
        ASSERT_TRUE(reader.FirstEntry(15, key.chars, 511, value.chars));
        EXPECT_EQ(key.Text(), row.delivered);
        EXPECT_TRUE(key.UntouchedAfter(15));
        EXPECT_EQ(reader.KeyWasCut(), row.cut);
        EXPECT_FALSE(reader.ValueWasCut());
    }
}

struct ValueRow {
    const char* name;
    std::uint32_t length;
    bool cut;
};

TEST_F(ParamLimits, LongValueIsCutAndReported)
{
    const ValueRow rows[] = {{"below", 510, false},
                             {"exactly", 511, false},
                             {"one beyond", 512, true},
                             {"far beyond", 5000, true}};
    for (const ValueRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::string item(row.length, 'v');
        ASSERT_TRUE(OpenBytes("[channels]\n1 = " + item + "\n"));
        ASSERT_TRUE(FindSection(L"channels"));
        std::wstring expected(row.length < 511 ? row.length : 511, L'v');

        wchar_t key[16];
        wchar_t value[512 + 64];
        for (wchar_t& ch : value)
            ch = L'#';
        ASSERT_TRUE(reader.FirstEntry(15, key, 511, value));
        EXPECT_EQ(std::wstring(value), expected);
        EXPECT_EQ(value[512], L'#');
        EXPECT_EQ(reader.ValueWasCut(), row.cut);
        EXPECT_FALSE(reader.KeyWasCut());

        for (wchar_t& ch : value)
            ch = L'#';
        ASSERT_TRUE(reader.ReadText(1, L"1", 511, value));
        EXPECT_EQ(std::wstring(value), expected);
        EXPECT_EQ(value[512], L'#');
        EXPECT_EQ(reader.ValueWasCut(), row.cut);
    }
}

TEST_F(ParamLimits, NextShortEntryClearsTheCutFlags)
{
    ASSERT_TRUE(OpenBytes("[channels]\n12345678901234567890 = " + std::string(600, 'v') + "\n1 = a\n"));
    ASSERT_TRUE(FindSection(L"channels"));
    wchar_t key[16];
    wchar_t value[512];
    ASSERT_TRUE(reader.FirstEntry(15, key, 511, value));
    EXPECT_TRUE(reader.KeyWasCut());
    EXPECT_TRUE(reader.ValueWasCut());
    ASSERT_TRUE(reader.NextEntry(15, key, 511, value));
    EXPECT_FALSE(reader.KeyWasCut());
    EXPECT_FALSE(reader.ValueWasCut());
}

TEST_F(ParamLimits, VeryLongLinesAreRead)
{
    std::string key(100000, 'k');
    std::string value(200000, 'v');
    ASSERT_TRUE(OpenBytes("[s]\n" + key + " = " + value + "\nnext = 1\n"));
    ASSERT_TRUE(FindSection(L"s"));
    EXPECT_EQ(reader.KeyCount(100000, std::wstring(100000, L'k').c_str()), 1u);
    EXPECT_EQ(TextOf(L"next"), L"1");
}

TEST_F(ParamLimits, ZeroMaximumsDeliverEmptyTexts)
{
    ASSERT_TRUE(OpenBytes("[channels]\n1 = a\n"));
    ASSERT_TRUE(FindSection(L"channels"));
    wchar_t key[1] = {L'#'};
    wchar_t value[1] = {L'#'};
    ASSERT_TRUE(reader.FirstEntry(0, key, 0, value));
    EXPECT_EQ(key[0], L'\0');
    EXPECT_EQ(value[0], L'\0');
    EXPECT_TRUE(reader.KeyWasCut());
    EXPECT_TRUE(reader.ValueWasCut());
}

TEST_F(ParamLimits, FileAboveTheCapIsRefused)
{
    // 64 MiB and one byte, of valid entries.
    std::string bytes = "[s]\n";
    bytes.resize((64u << 20) + 1, '\n');
    EXPECT_FALSE(OpenBytes(bytes));
    bytes.resize(64u << 20);
    EXPECT_TRUE(OpenBytes(bytes));
}

TEST_F(ParamLimits, NameIsReadToItsLengthOrNul)
{
    file = std::make_unique<TempFile>("[s]\nk=v\n");
    ASSERT_TRUE(file->IsWritten());
    std::wstring name = file->Path() + L"garbage";
    EXPECT_TRUE(reader.Open(static_cast<std::uint32_t>(file->Path().size()), name.c_str()));
    std::wstring terminated = file->Path() + L'\0' + L"garbage";
    EXPECT_TRUE(reader.Open(static_cast<std::uint32_t>(terminated.size()), terminated.c_str()));
}

TEST_F(ParamLimits, NamesThatOpenNoFileAreRefused)
{
    wchar_t folder[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring missing = std::wstring(folder) + L"tagport-no-such-file.par";
    EXPECT_FALSE(reader.Open(static_cast<std::uint32_t>(missing.size()), missing.c_str()));
    EXPECT_FALSE(reader.Open(0, missing.c_str()));
    EXPECT_FALSE(reader.Open(10, nullptr));
    EXPECT_FALSE(reader.Open(MAX_PATH, folder)); // a folder is no file
    EXPECT_FALSE(reader.isOpen);
}

} // namespace
