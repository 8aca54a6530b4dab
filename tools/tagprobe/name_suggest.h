#pragma once
// Suggestions for a misspelt name: the known names closest to it by edit distance, where a swap of two
// neighbouring characters counts as one edit and letters differing only in ASCII case as none.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Edits (insert, delete, replace, swap of neighbours) that turn a into b; any number above bound once
// it is certain to exceed it (a large address space is compared name by name).
std::size_t EditDistance(const std::wstring& a, const std::wstring& b, std::size_t bound = SIZE_MAX);

// The candidates nearest to name, nearest first (ties in the candidates' order), at most maxCount of
// them, and only those close enough to be a plausible misspelling: at most a third of name's length
// in edits (at least 1). A candidate equal to name is never suggested.
std::vector<std::wstring> ClosestNames(const std::wstring& name, const std::vector<std::wstring>& candidates,
                                       std::size_t maxCount);

// "A", "A or B", "A, B or C".
std::wstring AlternativesText(const std::vector<std::wstring>& names);
