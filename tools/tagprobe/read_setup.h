#pragma once
// What read and watch share before their first batch: the channel numbers and the host type for each.

#include <cstdint>
#include <vector>

#include "tools/tagprobe/batch.h"
#include "tools/tagprobe/options.h"
#include "tools/tagprobe/param_listing.h"

// The numbers the operands name, in order; false (with the reason printed) for a malformed operand.
bool ParseChannelOperands(const ProbeOptions& options, std::vector<std::uint32_t>& numbers);
// numbers, or every channel number of the file when none were named; false (printed) when the file
// defines more numbers than one run reads.
bool ChannelsToRead(const ParamListing& listing, std::vector<std::uint32_t>& numbers);
// One request per number: --as, else what tagprobe's look at the server suggests (a note is printed
// when the look fails).
std::vector<ReadRequest> ChooseReadRequests(const ProbeOptions& options, const ParamListing& listing,
                                            const std::vector<std::uint32_t>& numbers);
struct ProbeRun;

// What read and watch do before their first batch: parse the channel operands, OpenRun, choose every
// channel when none were named, print the Init line and choose the host types. ExitOk, or the exit
// code to end with after CloseRun.
int OpenReadRun(const ProbeOptions& options, ProbeRun& run, std::vector<ReadRequest>& requests);

// ExitOk when every reading is good and the batch finished, else ExitChannelFailed.
int ReadVerdict(const std::vector<ChannelReading>& readings, BatchEnd end);
