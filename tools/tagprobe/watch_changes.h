#pragma once
// What watch prints of each batch: the channels whose reading changed since tagprobe last printed them
// and, with --subscribe, how long each new data change took from the server's timestamp to tagprobe.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "tools/tagprobe/batch.h"
#include "tools/tagprobe/param_listing.h"

// What watch remembers of one channel between batches.
struct WatchedChannel {
    std::vector<std::wstring> cells{}; // the reading as last printed, without a delay; empty: not yet
    bool good = false;                 // that reading was good (IsGoodReading)
    HostTimestamp timestamp{};         // and its timestamp
};

struct WatchState {
    bool subscribe = false;                 // --subscribe: a new timestamp is a change; rows get a delay
    std::vector<WatchedChannel> channels{}; // in the order of the batch's readings
    std::vector<std::int64_t> delays{};     // every delay measured so far, in ms
};

// The columns of read, and with subscribe "delay ms" after the timestamp.
std::vector<std::wstring> WatchHeaders(bool subscribe);

// The rows to print for a batch whose values tagprobe had at seenUtc; the state is brought up to date.
// Without subscribe a row is a change when its status, value or quality differs: a read from the device
// renews the timestamp every time, so a new timestamp alone is none. With subscribe every data change
// the server sends carries a timestamp of its own, so a new timestamp is a change and the same one is
// the change already printed. A delay is given only for a change that follows a good reading of the
// channel: the first value seen, and the first after a failure, may be of any age.
std::vector<std::vector<std::wstring>> ChangedRows(WatchState& state,
                                                   const std::vector<ChannelReading>& readings,
                                                   const ParamListing& listing, const FILETIME& seenUtc);

// Milliseconds from timestamp (UTC) to nowUtc, both taken to the whole millisecond; negative when the
// timestamp lies ahead (the server's clock runs ahead of this machine's). False for a channel without
// server time (the all-zero timestamp) and for a date that does not exist.
bool DelayMs(const HostTimestamp& timestamp, const FILETIME& nowUtc, std::int64_t& delayMs);

// ", delay 2 to 103 ms, median 51 ms" (the lower median of an even count); empty without delays.
std::wstring DelaySummary(std::vector<std::int64_t> delays);
