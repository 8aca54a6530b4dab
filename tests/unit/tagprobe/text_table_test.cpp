#include <gtest/gtest.h>

#include "tools/tagprobe/text_table.h"

namespace {

TEST(RenderTable, ColumnsAsWideAsTheirWidestCellTwoBlanksApart)
{
    TextTable table{{L"channel", L"value", L"item"},
                    {{L"1", L"12.5", L"Tank.Level"}, {L"200", L"\"on\"", L"X"}}};
    std::vector<std::wstring> lines = RenderTable(table);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], L"channel  value  item");
    EXPECT_EQ(lines[1], L"-------  -----  ----------");
    EXPECT_EQ(lines[2], L"1        12.5   Tank.Level");
    EXPECT_EQ(lines[3], L"200      \"on\"   X");
}

TEST(RenderTable, AnEmptyTableIsHeaderAndRule)
{
    std::vector<std::wstring> lines = RenderTable(TextTable{{L"a", L"bb"}, {}});
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"a  bb", L"-  --"}));
}

} // namespace
