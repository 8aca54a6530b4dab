#pragma once
// How watch follows an instance that loses its server: a line when every channel of a batch reports
// server down, the statuses of each batch while that lasts, and a line when a batch has them back.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tagprobe/batch.h"

struct LossWatch {
    bool lost = false;
    std::uint64_t sinceMs = 0; // the start of the first batch without the server
};

// The line to print after the batch that started atMs after the first one (empty: none), and the
// watch brought up to date.
std::wstring LossLine(LossWatch& loss, const std::vector<ChannelReading>& readings, std::uint32_t batch,
                      std::uint64_t atMs);

// "5 server down", "3 ok, 2 failed": how many channels of a batch have each status, in first-seen order.
std::wstring StatusSummary(const std::vector<ChannelReading>& readings);
