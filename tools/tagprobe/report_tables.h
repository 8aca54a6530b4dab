#pragma once
// The tables tagprobe prints for read batches, and how a batch that did not finish is reported.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tagprobe/batch.h"
#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/text_table.h"

// Columns: channel, status, value, host type, quality, timestamp, item.
std::vector<std::wstring> ReadingHeaders();
constexpr std::size_t kTimestampColumn = 5;
std::vector<std::wstring> ReadingCells(const ChannelReading& reading, const ParamListing& listing);
TextTable ReadingTable(const std::vector<ChannelReading>& readings, const ParamListing& listing);

void PrintTable(const TextTable& table);
// Prints why a batch of kind ("read" or "write") ended early; nothing for a finished batch.
void ReportBatchEnd(BatchEnd end, const wchar_t* kind, std::uint32_t timeoutMs);
