#pragma once
// The host type to ask for or to write a channel as, when the user names none: what the canonical
// type of the channel's item suggests, learnt from tagprobe's own look at the server.

#include <cstdint>
#include <vector>

#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/server_look.h"

// One type per number (TypeNone where the number has no channel or the server told nothing), from a
// look at the items of the channels that cover numbers.
std::vector<std::uint32_t> SuggestTypes(const ParamListing& listing,
                                        const std::vector<std::uint32_t>& numbers, ServerLook& look);

// The label of a channel number in tables: the ItemId, with the element index for a range
// ("Tank.Levels[2]"), or "-" when no channel covers it.
std::wstring ItemLabel(const ParamListing& listing, std::uint32_t number);
