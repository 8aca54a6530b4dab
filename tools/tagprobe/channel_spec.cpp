#include "tools/tagprobe/channel_spec.h"

#include <unordered_set>

#include "tools/tagprobe/decimal_text.h"
#include "tools/tagprobe/type_names.h"

namespace {

bool ParseChannelNumber(const std::wstring& text, std::uint32_t& number)
{
    return ParseDecimal(text, 0xFFFFFFFFu, number);
}

} // namespace

bool AppendChannels(const std::wstring& operand, std::vector<std::uint32_t>& numbers, std::wstring& error)
{
    std::size_t hyphen = operand.find(L'-');
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool ok = hyphen == std::wstring::npos
                  ? ParseChannelNumber(operand, first) && ParseChannelNumber(operand, last)
                  : ParseChannelNumber(operand.substr(0, hyphen), first) &&
                        ParseChannelNumber(operand.substr(hyphen + 1), last);
    if (!ok) {
        error = operand + L": not a channel number or a range like 10-19";
        return false;
    }
    if (last < first) {
        error = operand + L": the range ends before it starts";
        return false;
    }
    if (last - first >= kMaxRangeOperand) {
        error = operand + L": more than " + std::to_wstring(kMaxRangeOperand) + L" channels in one range";
        return false;
    }
    std::unordered_set<std::uint32_t> listed(numbers.begin(), numbers.end());
    for (std::uint32_t n = first;; ++n) {
        if (listed.insert(n).second) numbers.push_back(n);
        if (n == last) break;
    }
    return true;
}

bool ParseAssignment(const std::wstring& operand, Assignment& out, std::wstring& error)
{
    out = Assignment{};
    std::size_t equals = operand.find(L'=');
    std::wstring target = operand.substr(0, equals);
    std::size_t colon = target.find(L':');
    bool ok = equals != std::wstring::npos && ParseChannelNumber(target.substr(0, colon), out.channel);
    if (!ok) {
        error = operand + L": expected CH=VALUE or CH:TYPE=VALUE";
        return false;
    }
    if (colon != std::wstring::npos) {
        std::wstring typeName = target.substr(colon + 1);
        out.hasType = HostTypeFromName(typeName, out.type);
        if (!out.hasType) {
            error = operand + L": unknown host type " + typeName + L" (one of " + HostTypeNameList() + L")";
            return false;
        }
    }
    out.text = operand.substr(equals + 1);
    return true;
}
