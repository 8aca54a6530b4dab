#pragma once
// The benchmark's host: one driver instance from tagport.dll, driven through its exports as the runtime
// drives it, with timed read and write batches over a list of channels. The notification only sets a
// flag; the host's thread dispatches messages until it holds.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/driver_api.h"

struct DriverHost {
    const DriverApi* api = nullptr;
    OpcDriver* instance = nullptr;
    bool readDone = false;
    bool writeDone = false;
    std::uint32_t userData = 0; // the host's slot in tools/common/user_data.h while it runs
};

// MakeDriver and Init with the parameter file; false with the driver's error text.
bool StartDriverHost(DriverHost& host, const DriverApi& api, const std::string& parPath, std::string& error);
// Done and DisposeDriver; safe to repeat.
void StopDriverHost(DriverHost& host);

// Where the host's thread spent one batch, in milliseconds.
struct BatchTimes {
    double request = 0;  // InputRequest or OutputRequest for every channel
    double fire = 0;     // InputRequestCompleted or OutputRequestCompleted, until the notification
    double finalize = 0; // InputFinalized or OutputFinalized for every channel
    double get = 0;      // GetInput3 for every channel (reads only)
    double Total() const { return request + fire + finalize + get; }
};

// One read batch of the channels: requests, issue, notification, then InputFinalized and GetInput3
// (as F64) for each. True when every channel finished with StatusOk and good quality.
bool DriverRead(DriverHost& host, const std::vector<std::uint32_t>& channels, BatchTimes& times);
// One write batch: OutputRequest of base + i (F64) to channel i, issue, notification, OutputFinalized
// for each. True when every channel finished with StatusOk.
bool DriverWrite(DriverHost& host, const std::vector<std::uint32_t>& channels, double base,
                 BatchTimes& times);
