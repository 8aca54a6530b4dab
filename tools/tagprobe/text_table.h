#pragma once
// Plain text tables: a header row, a rule, and left-aligned columns two blanks apart.

#include <string>
#include <vector>

struct TextTable {
    std::vector<std::wstring> headers{};
    std::vector<std::vector<std::wstring>> rows{}; // each row has one cell per header
};

// The table as lines without line breaks; the last column is not padded.
std::vector<std::wstring> RenderTable(const TextTable& table);
