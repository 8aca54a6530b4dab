#pragma once
// ChannelIndex: a flat lookup of the channel table's records by number, built once after the parameter
// file is loaded. The ordered table stays the owner of the records; its tree costs one cache miss per
// level when the host's numbers land all over a large table, these arrays do not chase pointers.
// Dense numbering gets a direct array, one slot per number from the lowest to the highest; any other
// table the ascending first numbers of its records, binary-searched, beside the records in that order.
// Either answers exactly what FindChannel answers on the table.

#include <cstdint>

#include "config/channel_table.h"

struct ChannelIndex {
    const ChannelTable* table = nullptr; // its tree answers while no array is built
    std::uint32_t lowest = 0;            // direct: the number of slots[0]
    std::uint32_t slotCount = 0;
    Channel** slots = nullptr; // direct: the record covering each number, null in a gap
    std::uint32_t recordCount = 0;
    std::uint32_t* firstNumbers = nullptr; // sorted: ascending
    Channel** records = nullptr;           // sorted: the record of each first number
};

// Builds the arrays for table as it is now (releasing any built before); the table must not change
// while they are used. False when memory runs out: lookups then go to the table's tree.
bool BuildChannelIndex(ChannelIndex& index, const ChannelTable& table);
// Frees the arrays; lookups go to the table's tree again. Safe to repeat.
void ReleaseChannelIndex(ChannelIndex& index);
// The record that covers number, or null: what FindChannel answers on the indexed table.
Channel* LookUpChannel(const ChannelIndex& index, std::uint32_t number);
