#include "tools/tagprobe/channel_types.h"

#include <cstdint>
#include <unordered_map>

#include "convert/value_record.h"
#include "tools/tagprobe/type_names.h"

std::vector<std::uint32_t> SuggestTypes(const ParamListing& listing,
                                        const std::vector<std::uint32_t>& numbers, ServerLook& look)
{
    std::unordered_map<const ChannelListing*, std::size_t> indexOf;
    std::vector<std::wstring> itemIds;
    std::vector<std::size_t> itemOf; // per number: its item's index in itemIds, or SIZE_MAX for none
    for (std::uint32_t number : numbers) {
        const ChannelListing* owner = FindListedChannel(listing, number);
        if (owner == nullptr) {
            itemOf.push_back(SIZE_MAX);
            continue;
        }
        auto found = indexOf.emplace(owner, itemIds.size());
        if (found.second) itemIds.push_back(owner->itemId);
        itemOf.push_back(found.first->second);
    }
    LookAtServer(listing.clsid, listing.host, itemIds, look);
    std::vector<std::uint32_t> types;
    for (std::size_t index : itemOf) {
        bool known = index < look.items.size() && look.items[index].error == S_OK;
        types.push_back(known ? SuggestedHostType(look.items[index].canonical)
                              : static_cast<std::uint32_t>(TypeNone));
    }
    return types;
}

std::wstring ItemLabel(const ParamListing& listing, std::uint32_t number)
{
    const ChannelListing* channel = FindListedChannel(listing, number);
    if (channel == nullptr) return L"-";
    if (channel->count == 0) return channel->itemId;
    return channel->itemId + L"[" + std::to_wstring(number - channel->first) + L"]";
}
