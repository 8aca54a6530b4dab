#include "tools/tagprobe/text_table.h"

namespace {

constexpr std::size_t kGap = 2;

std::wstring RenderRow(const std::vector<std::wstring>& cells, const std::vector<std::size_t>& widths)
{
    std::wstring line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += cells[i];
        if (i + 1 < cells.size() && i < widths.size()) line.append(widths[i] - cells[i].size() + kGap, L' ');
    }
    return line;
}

} // namespace

std::vector<std::wstring> RenderTable(const TextTable& table)
{
    std::vector<std::size_t> widths(table.headers.size(), 0);
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] = table.headers[i].size();
    for (const auto& row : table.rows)
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            if (row[i].size() > widths[i]) widths[i] = row[i].size();

    std::vector<std::wstring> lines;
    lines.push_back(RenderRow(table.headers, widths));
    std::vector<std::wstring> rule;
    for (std::size_t width : widths)
        rule.emplace_back(width, L'-');
    lines.push_back(RenderRow(rule, widths));
    for (const auto& row : table.rows)
        lines.push_back(RenderRow(row, widths));
    return lines;
}
