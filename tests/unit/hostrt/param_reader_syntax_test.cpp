#include <cwchar>
#include <string>

#include "param_reader_fixture.h"

namespace {

using ParamSyntax = ParamReaderTest;

TEST_F(ParamSyntax, KeysAndValuesAreTrimmed)
{
    ASSERT_TRUE(OpenBytes("[server]\r\n  CLSID =  {AB-CD} \t\r\nhost=\r\n\tdebug\t=\tyes\r\n"));
    ASSERT_TRUE(FindSection(L"server"));
    EXPECT_EQ(TextOf(L"CLSID"), L"{AB-CD}");
    EXPECT_EQ(TextOf(L"host"), L""); // present, empty
    EXPECT_EQ(TextOf(L"debug"), L"yes");
    EXPECT_EQ(TextOf(L"sync"), L"<absent>");
}

TEST_F(ParamSyntax, NamesMatchWithoutRegardToAsciiCase)
{
    ASSERT_TRUE(OpenBytes("[SeRvEr]\nClsId=1\n"));
    ASSERT_TRUE(FindSection(L"server"));
    EXPECT_EQ(TextOf(L"CLSID"), L"1");
    EXPECT_EQ(TextOf(L"clsid"), L"1");
    EXPECT_EQ(TextOf(L"CLSI"), L"<absent>");
}

TEST_F(ParamSyntax, SectionHeaderMayHaveBlanks)
{
    ASSERT_TRUE(OpenBytes("  [ channels ]  \n1=a\n"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", L"a"}}));
}

TEST_F(ParamSyntax, WholeLineCommentsOnlyAndValuesKeepTheirMarks)
{
    ASSERT_TRUE(OpenBytes("; top comment\n# another\n\n[channels]\n  ; indented comment\n"
                          "1 = Plant;Line#2 ; not a comment\n#2 = commented out\n"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", L"Plant;Line#2 ; not a comment"}}));
}

TEST_F(ParamSyntax, ValueKeepsEveryEqualsSignAfterTheFirst)
{
    ASSERT_TRUE(OpenBytes("[channels]\n1 = a=b = c\n"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", L"a=b = c"}}));
}

TEST_F(ParamSyntax, LinesWithoutEqualsSignAreDeliveredNotSkipped)
{
    ASSERT_TRUE(OpenBytes("[channels]\n1 = a\n  7x  \n= orphan value\n2=\n"));
    EXPECT_EQ(EntriesOf(L"channels"),
              (EntryList{{L"1", L"a"}, {L"7x", L""}, {L"", L"orphan value"}, {L"2", L""}}));
}

TEST_F(ParamSyntax, DuplicateKeysAreAllDeliveredAndReadTextTakesTheFirst)
{
    ASSERT_TRUE(OpenBytes("[channels]\n5=first\n6=x\n5=second\n"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"5", L"first"}, {L"6", L"x"}, {L"5", L"second"}}));
    EXPECT_EQ(TextOf(L"5"), L"first");
    EXPECT_EQ(reader.KeyCount(1, L"5"), 2u);
    EXPECT_EQ(reader.KeyCount(1, L"6"), 1u);
    EXPECT_EQ(reader.KeyCount(1, L"7"), 0u);
}

TEST_F(ParamSyntax, RepeatedSectionsMergeInFileOrder)
{
    ASSERT_TRUE(OpenBytes("[channels]\n1=a\n[server]\nhost=h\n[CHANNELS]\n2=b\n[server]\nsync=on\n"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", L"a"}, {L"2", L"b"}}));
    EXPECT_EQ(EntriesOf(L"server"), (EntryList{{L"host", L"h"}, {L"sync", L"on"}}));
    EXPECT_EQ(reader.KeyCount(4, L"sync"), 1u);
    EXPECT_EQ(reader.KeyCount(1, L"1"), 0u); // other sections do not count
}

TEST_F(ParamSyntax, HeaderWithoutClosingBracketIsAnEntryOfTheSectionAbove)
{
    ASSERT_TRUE(OpenBytes("[server]\nCLSID=x\n[channels\n1=a\n"));
    EXPECT_FALSE(FindSection(L"channels"));
    EXPECT_EQ(EntriesOf(L"server"), (EntryList{{L"CLSID", L"x"}, {L"[channels", L""}, {L"1", L"a"}}));
}

TEST_F(ParamSyntax, EmptyBracketsNameAnEmptySection)
{
    ASSERT_TRUE(OpenBytes("[]\nk=v\n"));
    EXPECT_EQ(EntriesOf(L""), (EntryList{{L"k", L"v"}}));
}

TEST_F(ParamSyntax, EntryBeforeTheFirstSectionRefusesTheFile)
{
    EXPECT_FALSE(OpenBytes("CLSID={x}\n[server]\n"));
    EXPECT_FALSE(OpenBytes("[server\nCLSID={x}\n"));
    EXPECT_FALSE(reader.isOpen);
}

// The refusal names the stray entry by its key, cut to the caller's maximum; any other outcome of
// Open clears it.
TEST_F(ParamSyntax, EntryBeforeTheFirstSectionIsReportedWithItsKey)
{
    wchar_t key[8];
    ASSERT_FALSE(OpenBytes("; comment\n\n  wait_time = 2\nCLSID={x}\n[server]\n"));
    ASSERT_TRUE(reader.EntryBeforeFirstSection(7, key));
    EXPECT_STREQ(key, L"wait_ti");
    ASSERT_FALSE(OpenBytes("[server\nCLSID={x}\n"));
    ASSERT_TRUE(reader.EntryBeforeFirstSection(7, key));
    EXPECT_STREQ(key, L"[server");
    ASSERT_TRUE(OpenBytes("[server]\nCLSID={x}\n"));
    std::wcscpy(key, L"same");
    EXPECT_FALSE(reader.EntryBeforeFirstSection(7, key));
    EXPECT_STREQ(key, L"same");
    ASSERT_FALSE(OpenBytes("\xEF\xBB\xBF[s]\nk=caf\xE9\n")); // not text: no stray entry either
    EXPECT_FALSE(reader.EntryBeforeFirstSection(7, key));
}

TEST_F(ParamSyntax, EveryLineBreakEndsALine)
{
    ASSERT_TRUE(OpenBytes("[channels]\r\n1=a\n2=b\r3=c\r\n\r\n\n4=d"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", L"a"}, {L"2", L"b"}, {L"3", L"c"}, {L"4", L"d"}}));
}

TEST_F(ParamSyntax, EmptyFileOpensWithoutSections)
{
    ASSERT_TRUE(OpenBytes(""));
    EXPECT_FALSE(FindSection(L"server"));
}

TEST_F(ParamSyntax, MissingSectionAnswersNothing)
{
    ASSERT_TRUE(OpenBytes("[server]\nCLSID=x\n"));
    ASSERT_TRUE(FindSection(L"server"));
    EXPECT_FALSE(FindSection(L"channels"));
    EXPECT_EQ(TextOf(L"CLSID"), L"<absent>"); // not from the section found before
    wchar_t key[16] = L"sentinel";
    wchar_t value[16] = L"sentinel";
    EXPECT_FALSE(reader.FirstEntry(15, key, 15, value));
    EXPECT_STREQ(key, L"sentinel");
    EXPECT_EQ(reader.KeyCount(5, L"CLSID"), 0u);
}

TEST_F(ParamSyntax, EachEntryIsDeliveredOnce)
{
    ASSERT_TRUE(OpenBytes("[channels]\n1=a\n"));
    ASSERT_TRUE(FindSection(L"channels"));
    wchar_t key[16];
    wchar_t value[16];
    ASSERT_TRUE(reader.FirstEntry(15, key, 15, value));
    EXPECT_FALSE(reader.NextEntry(15, key, 15, value));
    EXPECT_FALSE(reader.NextEntry(15, key, 15, value));
    EXPECT_TRUE(reader.FirstEntry(15, key, 15, value)); // a new walk starts again
    EXPECT_STREQ(key, L"1");
}

TEST_F(ParamSyntax, CloseIsSafeToRepeatAndEndsEveryAnswer)
{
    ASSERT_TRUE(OpenBytes("[server]\nCLSID=x\n"));
    ASSERT_TRUE(FindSection(L"server"));
    reader.Close();
    reader.Close();
    EXPECT_FALSE(reader.isOpen);
    EXPECT_EQ(reader.text, nullptr);
    EXPECT_EQ(reader.entries, nullptr);
    EXPECT_FALSE(FindSection(L"server"));
    EXPECT_EQ(TextOf(L"CLSID"), L"<absent>");
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

TEST_F(ParamSyntax, OpenOnAnOpenReaderReplacesTheFile)
{
    ASSERT_TRUE(OpenBytes("[a]\nk=1\n"));
    ASSERT_TRUE(OpenBytes("[b]\nk=2\n"));
    EXPECT_FALSE(FindSection(L"a"));
    EXPECT_EQ(EntriesOf(L"b"), (EntryList{{L"k", L"2"}}));
}

TEST_F(ParamSyntax, ReadsBeforeAnyOpenAnswerNothing)
{
    wchar_t value[8] = L"kept";
    EXPECT_FALSE(FindSection(L"server"));
    EXPECT_FALSE(reader.ReadText(5, L"CLSID", 7, value));
    EXPECT_STREQ(value, L"kept");
    EXPECT_FALSE(reader.FirstEntry(7, value, 7, value));
}

} // namespace
