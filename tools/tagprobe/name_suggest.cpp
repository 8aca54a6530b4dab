#include "tools/tagprobe/name_suggest.h"

#include <algorithm>

namespace {

wchar_t Folded(wchar_t ch)
{
    return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

} // namespace

std::size_t EditDistance(const std::wstring& a, const std::wstring& b, std::size_t bound)
{
    // Three rows of the optimal-string-alignment table: the swap looks two rows back.
    std::vector<std::size_t> before(b.size() + 1);
    std::vector<std::size_t> previous(b.size() + 1);
    std::vector<std::size_t> current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t cost = Folded(a[i - 1]) == Folded(b[j - 1]) ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
                Folded(a[i - 2]) == Folded(b[j - 1]))
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        // Every path to the end passes through this row or the one before it (a swap), and costs never
        // fall along a path.
        std::size_t least = std::min(*std::min_element(current.begin(), current.end()),
                                     *std::min_element(previous.begin(), previous.end()));
        if (least > bound) return least;
        before.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

std::vector<std::wstring> ClosestNames(const std::wstring& name, const std::vector<std::wstring>& candidates,
                                       std::size_t maxCount)
{
    std::size_t limit = std::max<std::size_t>(1, name.size() / 3);
    std::vector<std::pair<std::size_t, std::size_t>> near; // (distance, index)
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i] == name) continue;
        // Lengths that differ by more than the limit cannot be within it.
        std::size_t gap = candidates[i].size() > name.size() ? candidates[i].size() - name.size()
                                                             : name.size() - candidates[i].size();
        if (gap > limit) continue;
        std::size_t distance = EditDistance(name, candidates[i], limit);
        if (distance <= limit) near.emplace_back(distance, i);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::wstring> names;
    for (std::size_t k = 0; k < near.size() && names.size() < maxCount; ++k)
        names.push_back(candidates[near[k].second]);
    return names;
}

std::wstring AlternativesText(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? L" or " : L", ";
        text += names[i];
    }
    return text;
}
