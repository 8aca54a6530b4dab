#include "bench/exchange/driver_host.h"

#include "bench/common/bench_timing.h"
#include "bench/common/message_pump.h"
#include "convert/value_payload.h"
#include "config/channel_table.h"
#include "tools/common/user_data.h"

namespace {

constexpr std::uint32_t kNotifyTimeoutMs = 120000;
constexpr std::uint32_t kGoodQuality = 750;

void __cdecl Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t)
{
    auto* host = static_cast<DriverHost*>(ObjectOfUserData(userData));
    if (host != nullptr) (kind == 0 ? host->readDone : host->writeDone) = true;
}

using FireFn = void(__cdecl*)(OpcDriver* driver);
using FinalizedFn = BOOL(__cdecl*)(OpcDriver* driver, std::uint32_t channel, std::uint32_t* status);

// Fires the batch, dispatches until its notification, then asks every channel for its status. Returns
// the number of channels that did not finish with StatusOk (all of them when no notification came).
std::size_t FireAndFinalize(DriverHost& host, FireFn fire, bool& done, FinalizedFn finalized,
                            const std::vector<std::uint32_t>& channels, BatchTimes& times)
{
    done = false;
    double t0 = NowMs();
    fire(host.instance);
    bool notified = PumpUntil(done, kNotifyTimeoutMs);
    double t1 = NowMs();
    std::size_t failures = notified ? 0 : channels.size();
    for (std::uint32_t channel : channels) {
        std::uint32_t status = StatusFailed;
        failures += !finalized(host.instance, channel, &status) || status != StatusOk;
    }
    times.fire = t1 - t0;
    times.finalize = NowMs() - t1;
    return failures;
}

} // namespace

bool StartDriverHost(DriverHost& host, const DriverApi& api, const std::string& parPath, std::string& error)
{
    host = DriverHost{};
    host.api = &api;
    host.instance = api.ansi.MakeDriver();
    if (host.instance == nullptr) {
        error = "MakeDriver gave no instance";
        return false;
    }
    char err[128] = {};
    host.userData = UserDataFor(&host);
    if (api.ansi.Init(host.instance, static_cast<std::uint32_t>(parPath.size()), parPath.c_str(), 127, err, 0,
                      0, host.userData, Notify))
        return true;
    error = err;
    return false;
}

void StopDriverHost(DriverHost& host)
{
    if (host.instance == nullptr) return;
    host.api->ansi.Done(host.instance);
    host.api->ansi.DisposeDriver(host.instance);
    host.instance = nullptr;
    ForgetUserData(host.userData);
    host.userData = 0;
}

bool DriverRead(DriverHost& host, const std::vector<std::uint32_t>& channels, BatchTimes& times)
{
    const DriverExports<char>& api = host.api->ansi;
    double t0 = NowMs();
    for (std::uint32_t channel : channels)
        api.InputRequest(host.instance, channel);
    times.request = NowMs() - t0;
    std::size_t failures =
        FireAndFinalize(host, api.InputRequestCompleted, host.readDone, api.InputFinalized, channels, times);
    double t1 = NowMs();
    for (std::uint32_t channel : channels) {
        HostValue value{TypeF64, {}};
        std::uint32_t quality = 0;
        HostTimestamp timestamp{};
        api.GetInput3(host.instance, channel, &value, &quality, &timestamp);
        failures += quality != kGoodQuality;
    }
    times.get = NowMs() - t1;
    return failures == 0;
}

bool DriverWrite(DriverHost& host, const std::vector<std::uint32_t>& channels, double base, BatchTimes& times)
{
    const DriverExports<char>& api = host.api->ansi;
    double t0 = NowMs();
    for (std::size_t i = 0; i < channels.size(); ++i) {
        HostValue value{TypeF64, {}};
        WritePayload(value, base + static_cast<double>(i));
        api.OutputRequest(host.instance, channels[i], value);
    }
    times.request = NowMs() - t0;
    times.get = 0;
    return FireAndFinalize(host, api.OutputRequestCompleted, host.writeDone, api.OutputFinalized, channels,
                           times) == 0;
}
