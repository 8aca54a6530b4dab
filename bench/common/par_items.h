#pragma once
// What the bare client needs of a benchmark parameter file: the server's CLSID and the channels with
// their ItemIds, so that it adds exactly the driver's items. The files come from scripts/bench and hold
// one scalar channel per line ("<number>=<ItemId>"); nothing else of the format is read here.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

struct ParItems {
    CLSID clsid{};
    bool sync = false; // "sync = yes": the driver runs its synchronous mode
    std::vector<std::uint32_t> channels{};
    std::vector<std::wstring> itemIds{}; // one per channel, same order
};

// False with the reason when the file cannot be read or lacks the CLSID or channels.
bool ReadParItems(const std::string& path, ParItems& items, std::string& error);
