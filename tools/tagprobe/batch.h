#pragma once
// One read or write batch in the runtime's calling order: request each channel, fire the batch, wait
// for the notification while the message loop runs, then ask each channel for its status (and value).

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tagprobe/driver_session.h"
#include "tools/tagprobe/value_text.h"

enum class BatchEnd { Finished, TimedOut, Interrupted };

struct ReadRequest {
    std::uint32_t channel = 0;
    std::uint32_t type = 0; // the host type asked of GetInput3; TypeNone: not known, guessed
};

struct ChannelReading {
    std::uint32_t channel = 0;
    std::uint32_t type = 0;
    bool finished = false; // InputFinalized returned true
    std::uint32_t status = 0;
    bool delivered = false; // the status was ok and the driver delivered the value as type
    std::wstring value{};
    std::uint32_t quality = 0;
    HostTimestamp timestamp{};
};

struct WriteRequest {
    std::uint32_t channel = 0;
    ProbeValue value{};
};

struct ChannelWrite {
    std::uint32_t channel = 0;
    bool finished = false; // OutputFinalized returned true
    std::uint32_t status = 0;
};

// A failed issue finishes every channel at once and is never notified, so the wait ends as soon as
// every channel is finished; a notification that finishes nothing (a late one) only restarts the wait.
BatchEnd RunReadBatch(DriverSession& session, const std::vector<ReadRequest>& requests,
                      std::uint32_t timeoutMs, HANDLE interrupt, std::vector<ChannelReading>& readings);
BatchEnd RunWriteBatch(DriverSession& session, std::vector<WriteRequest>& requests, std::uint32_t timeoutMs,
                       HANDLE interrupt, std::vector<ChannelWrite>& writes);

// Asks GetInput3 for channel's value as type, twice with different sentinels, so that a refused
// delivery (the driver writes nothing) is told apart from any delivered value. Type TypeNone (not
// known) tries f64, text and bool in turn and keeps the first that is delivered.
void FetchValue(const DriverSession& session, ChannelReading& reading);

// A reading that the runtime could use: finished, status ok and the value delivered.
inline bool IsGoodReading(const ChannelReading& r)
{
    return r.finished && r.status == 0 && r.delivered;
}
