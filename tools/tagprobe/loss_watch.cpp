#include "tools/tagprobe/loss_watch.h"

#include <algorithm>

#include "config/channel_table.h"
#include "tools/tagprobe/result_text.h"

namespace {

// The instance has lost its server when every channel of a batch reports it.
bool ServerLost(const std::vector<ChannelReading>& readings)
{
    return !readings.empty() && std::all_of(readings.begin(), readings.end(), [](const ChannelReading& r) {
        return r.finished && r.status == StatusServerDown;
    });
}

} // namespace

std::wstring StatusSummary(const std::vector<ChannelReading>& readings)
{
    std::vector<std::pair<std::wstring, std::size_t>> counts;
    for (const auto& reading : readings) {
        std::wstring name = reading.finished ? StatusName(reading.status) : L"no answer";
        auto found =
            std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == name; });
        if (found == counts.end())
            counts.emplace_back(name, 1);
        else
            ++found->second;
    }
    std::wstring text;
    for (const auto& count : counts)
        text += (text.empty() ? L"" : L", ") + std::to_wstring(count.second) + L" " + count.first;
    return text;
}

std::wstring LossLine(LossWatch& loss, const std::vector<ChannelReading>& readings, std::uint32_t batch,
                      std::uint64_t atMs)
{
    std::wstring when = L"batch " + std::to_wstring(batch) + L" at +" + std::to_wstring(atMs) + L" ms";
    bool lost = ServerLost(readings);
    std::wstring line;
    if (lost && !loss.lost) {
        line = L"watch: the server is lost at " + when + L": every channel reports server down";
        loss.sinceMs = atMs;
    } else if (lost) {
        line = when + L": " + StatusSummary(readings);
    } else if (loss.lost) {
        line = L"watch: the server is back at " + when + L", after " + std::to_wstring(atMs - loss.sinceMs) +
               L" ms without it: " + StatusSummary(readings);
    }
    loss.lost = lost;
    return line;
}
