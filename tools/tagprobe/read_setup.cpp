#include "tools/tagprobe/read_setup.h"

#include "tools/tagprobe/channel_spec.h"
#include "tools/tagprobe/channel_types.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/probe_run.h"

bool ParseChannelOperands(const ProbeOptions& options, std::vector<std::uint32_t>& numbers)
{
    numbers.clear();
    std::wstring error;
    for (const auto& operand : options.operands) {
        if (!AppendChannels(operand, numbers, error)) {
            PrintError(error);
            return false;
        }
    }
    return true;
}

bool ChannelsToRead(const ParamListing& listing, std::vector<std::uint32_t>& numbers)
{
    if (!numbers.empty()) return true;
    std::uint64_t total = 0;
    for (const auto& channel : listing.channels)
        total += channel.count == 0 ? 1 : channel.count;
    if (total > kMaxRangeOperand) {
        PrintError(L"the file defines " + std::to_wstring(total) +
                   L" channel numbers; name the channels to read");
        return false;
    }
    numbers = AllChannelNumbers(listing);
    return true;
}

std::vector<ReadRequest> ChooseReadRequests(const ProbeOptions& options, const ParamListing& listing,
                                            const std::vector<std::uint32_t>& numbers)
{
    std::vector<std::uint32_t> types(numbers.size(), options.asType);
    if (!options.hasAs) {
        ServerLook look;
        types = SuggestTypes(listing, numbers, look);
        std::wstring failure = LookFailure(look);
        if (!failure.empty())
            PrintLine(L"note: tagprobe's own look at the server failed (" + failure +
                      L"); host types are guessed");
    }
    std::vector<ReadRequest> requests;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        requests.push_back(ReadRequest{numbers[i], types[i]});
    return requests;
}

int ReadVerdict(const std::vector<ChannelReading>& readings, BatchEnd end)
{
    int verdict = end == BatchEnd::Finished ? ExitOk : ExitChannelFailed;
    for (const auto& reading : readings)
        if (!IsGoodReading(reading)) verdict = ExitChannelFailed;
    return verdict;
}

int OpenReadRun(const ProbeOptions& options, ProbeRun& run, std::vector<ReadRequest>& requests)
{
    std::vector<std::uint32_t> numbers;
    if (!ParseChannelOperands(options, numbers)) return ExitUsage;
    int code = OpenRun(options, run);
    if (code != ExitOk) return code;
    if (!ChannelsToRead(run.listing, numbers)) return ExitUsage;
    PrintInitLine(run);
    requests = ChooseReadRequests(options, run.listing, numbers);
    return ExitOk;
}
