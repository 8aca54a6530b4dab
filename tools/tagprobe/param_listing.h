#pragma once
// tagprobe's own reading of a parameter file, for what the driver has no export for: the channel
// list, the server and the mode. It runs the driver's own file reader (linked from the core library),
// so the listing and its error texts are exactly the driver's.

#include <cstdint>
#include <string>
#include <vector>

#include <guiddef.h>

struct ChannelListing {
    std::uint32_t first = 0;
    std::uint32_t count = 0; // 0: a scalar channel; else the elements of a range
    std::wstring itemId{};
};

struct ParamListing {
    GUID clsid{};
    std::wstring host{};                    // empty: the server runs on this machine
    bool synchronous = false;               // "sync" true, or a "host" key
    bool debug = false;                     // "debug" true: the driver emits trace lines
    bool subscribe = false;                 // "subscribe" true: reads are answered from data changes
    std::uint32_t updateRateMs = 0;         // the group's rate as the driver asks for it
    std::vector<ChannelListing> channels{}; // in ascending channel order
};

// False with the driver's message for the file.
bool ReadParamListing(const std::wstring& file, ParamListing& listing, std::wstring& error);

// The channel that covers number, or null.
const ChannelListing* FindListedChannel(const ParamListing& listing, std::uint32_t number);
// Every channel number of the file in ascending order (each element of a range is one number).
std::vector<std::uint32_t> AllChannelNumbers(const ParamListing& listing);
