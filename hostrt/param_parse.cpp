// The line syntax of parameter files. Parsing runs twice over the text: once to count the records,
// once to fill exactly that many.
#include "hostrt/param_entry.h"

#include <new>

#include "hostrt/core.h"

namespace {

struct Range {
    std::uint32_t start;
    std::uint32_t end;
};

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

Range Trim(const wchar_t* text, Range r)
{
    while (r.start < r.end && IsBlank(text[r.start]))
        ++r.start;
    while (r.end > r.start && IsBlank(text[r.end - 1]))
        --r.end;
    return r;
}

// The line that starts at start, without its line break; *next is where the following line starts.
// CR LF, LF and a lone CR all end a line.
Range LineAt(const wchar_t* text, std::uint32_t length, std::uint32_t start, std::uint32_t* next)
{
    std::uint32_t end = start;
    while (end < length && text[end] != L'\r' && text[end] != L'\n')
        ++end;
    *next = end;
    if (*next < length && text[*next] == L'\r') ++*next;
    if (*next < length && text[*next] == L'\n' && (*next == end || text[end] == L'\r')) ++*next;
    return {start, end};
}

enum class LineKind { Nothing, Header, Entry };

// Blank and comment lines are nothing. "[name]" is a header. Every other line is an entry: the text
// before the first "=" is its key and the rest its value, both trimmed; without "=" the whole line is
// the key (a line that starts with "[" but does not end with "]" included, so that a typo shows up
// at the caller instead of vanishing).
LineKind ParseLine(const wchar_t* text, Range line, ParamEntry* entry)
{
    Range r = Trim(text, line);
    if (r.start == r.end || text[r.start] == L';' || text[r.start] == L'#') return LineKind::Nothing;
    if (text[r.start] == L'[' && text[r.end - 1] == L']' && r.end - r.start >= 2) {
        Range name = Trim(text, {r.start + 1, r.end - 1});
        *entry = ParamEntry{0, name.start, name.end - name.start, 0, 0, true};
        return LineKind::Header;
    }
    std::uint32_t equals = r.start;
    while (equals < r.end && text[equals] != L'=')
        ++equals;
    Range key = Trim(text, {r.start, equals});
    Range value = equals < r.end ? Trim(text, {equals + 1, r.end}) : Range{r.end, r.end};
    *entry = ParamEntry{0, key.start, key.end - key.start, value.start, value.end - value.start, false};
    return LineKind::Entry;
}

// Counts the records (out null) or fills them; false for an entry before the first header, which
// goes into *stray.
bool ScanLines(const wchar_t* text, std::uint32_t length, ParamEntry* out, std::uint32_t* count,
               StrayEntry* stray)
{
    std::uint32_t n = 0;
    std::uint32_t header = 0;
    bool inSection = false;
    std::uint32_t next = 0;
    for (std::uint32_t start = 0; start < length; start = next) {
        ParamEntry entry{};
        LineKind kind = ParseLine(text, LineAt(text, length, start, &next), &entry);
        if (kind == LineKind::Nothing) continue;
        if (kind == LineKind::Entry && !inSection) {
            *stray = StrayEntry{true, entry.keyStart, entry.keyLength};
            return false;
        }
        if (kind == LineKind::Header) header = n;
        entry.header = header;
        if (out != nullptr) out[n] = entry;
        inSection = true;
        ++n;
    }
    *count = n;
    return true;
}

} // namespace

bool ParseParamText(const wchar_t* text, std::uint32_t length, ParamEntry** entries, std::uint32_t* count,
                    StrayEntry* stray)
{
    *entries = nullptr;
    *count = 0;
    *stray = StrayEntry{};
    std::uint32_t n = 0;
    if (!ScanLines(text, length, nullptr, &n, stray)) return false;
    if (n == 0) return true;
    std::uint64_t bytes = std::uint64_t{n} * sizeof(ParamEntry);
    ParamEntry* block = nullptr;
    if (bytes > UINT32_MAX || !AllocBlock(block, static_cast<std::uint32_t>(bytes))) return false;
    for (std::uint32_t i = 0; i < n; ++i)
        new (&block[i]) ParamEntry();
    ScanLines(text, length, block, &n, stray);
    *entries = block;
    *count = n;
    return true;
}
