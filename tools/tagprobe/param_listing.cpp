#include "tools/tagprobe/param_listing.h"

#include <algorithm>

#include "config/param_file.h"
#include "driver/opc_driver.h"

namespace {

constexpr std::uint32_t kErrorMax = 255;

void CopyChannels(const OpcDriver& drv, std::vector<ChannelListing>& channels)
{
    OrderedItem* item = nullptr;
    for (bool more = drv.channels.First(&item); more; more = drv.channels.Next(item, &item)) {
        const auto* channel = static_cast<const Channel*>(item);
        ChannelListing entry;
        entry.first = channel->firstNumber;
        entry.count = channel->count;
        if (channel->itemId != nullptr) entry.itemId.assign(channel->itemId->chars, channel->itemId->length);
        channels.push_back(entry);
    }
}

} // namespace

bool ReadParamListing(const std::wstring& file, ParamListing& listing, std::wstring& error)
{
    listing = ParamListing{};
    OpcDriver* drv = MakeDriverRecord();
    if (drv == nullptr) {
        error = L"out of memory";
        return false;
    }
    wchar_t err[kErrorMax + 1] = {};
    bool ok = LoadParameterFile(*drv, static_cast<std::uint32_t>(file.size()), file.c_str(), kErrorMax, err);
    if (ok) {
        listing.clsid = drv->serverClsid;
        listing.host = drv->hostName;
        listing.synchronous = HasFlag(*drv, SyncIo);
        listing.debug = HasFlag(*drv, Trace);
        listing.subscribe = HasFlag(*drv, Subscribe);
        listing.updateRateMs = drv->updateRateMs;
        CopyChannels(*drv, listing.channels);
    }
    error = err;
    drv->channels.Clear();
    FreeDriverRecord(drv);
    return ok;
}

const ChannelListing* FindListedChannel(const ParamListing& listing, std::uint32_t number)
{
    // The channels are in ascending order and never overlap: only the last one starting at or before
    // number can cover it.
    auto after = std::upper_bound(listing.channels.begin(), listing.channels.end(), number,
                                  [](std::uint32_t n, const ChannelListing& c) { return n < c.first; });
    if (after == listing.channels.begin()) return nullptr;
    const ChannelListing& channel = *(after - 1);
    std::uint32_t span = channel.count == 0 ? 1 : channel.count;
    return number - channel.first < span ? &channel : nullptr;
}

std::vector<std::uint32_t> AllChannelNumbers(const ParamListing& listing)
{
    std::vector<std::uint32_t> numbers;
    for (const auto& channel : listing.channels) {
        std::uint32_t span = channel.count == 0 ? 1 : channel.count;
        for (std::uint32_t i = 0; i < span; ++i)
            numbers.push_back(channel.first + i);
    }
    return numbers;
}
