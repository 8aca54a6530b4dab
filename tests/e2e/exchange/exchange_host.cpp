#include "tests/e2e/exchange/exchange_host.h"

#include <cstring>

#include "tests/support/sim_items.h"
#include "tests/support/wait.h"

ExchangeHost* ExchangeHost::hosts[2] = {};

namespace {

constexpr std::uint32_t kWaitMs = 20000;
constexpr std::uint8_t kFill = 0xA5;

constexpr char kChannels[] =
    "[channels]\n"
    "1 = Sim.I1\n2 = Sim.I2\n3 = Sim.I4\n4 = Sim.UI1\n5 = Sim.UI2\n6 = Sim.UI4\n"
    "7 = Sim.INT\n8 = Sim.UINT\n9 = Sim.R4\n10 = Sim.R8\n11 = Sim.BOOL\n12 = Sim.BSTR\n"
    "13 = Sim.CY\n14 = Sim.DATE\n15 = Sim.ERROR\n16 = Sim.I8\n17 = Sim.ReadOnly\n"
    "18 = Sim.WriteOnly\n19 = Sim.BadQuality\n20 = Sim.Uncertain\n"
    "30-34 = Sim.R8Array\n40-42 = Sim.BSTRArray\n";

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c); // CLSIDs and paths here are ASCII
    return out;
}

} // namespace

HostValue Asking(std::uint32_t type)
{
    HostValue value{type, {}};
    std::memset(value.payload, kFill, sizeof value.payload);
    return value;
}

::testing::AssertionResult ExchangeHost::Start(const DriverApi& exports, Mode mode,
                                               const std::string& behaviours)
{
    api = &exports;
    std::uint32_t slot = hosts[0] == nullptr ? 0 : 1;
    if (hosts[slot] != nullptr) return ::testing::AssertionFailure() << "two hosts run already";
    hosts[slot] = this;
    userData = kHostUserData + slot;
    ::testing::AssertionResult registered =
        RegisterSimScenario(std::string(kSimStandardItems) + behaviours, sim);
    if (!registered) return registered;
    std::string par = "[server]\nCLSID = " + Utf8(sim.clsidText) +
                      "\ndebug = yes\nsync = " + (mode == Mode::Sync ? "yes" : "no") + "\n" + serverKeys +
                      kChannels;
    parFile = new TempFile(par);
    if (!parFile->IsWritten()) return ::testing::AssertionFailure() << "cannot write the parameter file";
    instance = api->ansi.MakeDriver();
    if (instance == nullptr) return ::testing::AssertionFailure() << "MakeDriver gave no instance";
    std::string name = Utf8(parFile->Path());
    char err[128] = {};
    if (!api->ansi.Init(instance, static_cast<std::uint32_t>(name.size()), name.c_str(), 127, err, 0, 0,
                        userData, Notify))
        return ::testing::AssertionFailure() << "Init failed: " << err;
    return ::testing::AssertionSuccess();
}

void ExchangeHost::Stop()
{
    if (instance != nullptr) {
        api->ansi.Done(instance);
        api->ansi.DisposeDriver(instance);
        instance = nullptr;
    }
    delete parFile;
    parFile = nullptr;
    UnregisterSimScenario(sim);
    for (ExchangeHost*& host : hosts) {
        if (host == this) host = nullptr;
    }
}

void ExchangeHost::RequestRead(std::initializer_list<std::uint32_t> channels)
{
    for (std::uint32_t channel : channels)
        api->ansi.InputRequest(instance, channel);
}

void ExchangeHost::FireRead()
{
    api->ansi.InputRequestCompleted(instance);
}

void ExchangeHost::RequestWrite(std::uint32_t channel, const HostValue& value)
{
    api->ansi.OutputRequest(instance, channel, value);
}

void ExchangeHost::FireWrite()
{
    api->ansi.OutputRequestCompleted(instance);
}

::testing::AssertionResult ExchangeHost::WaitNotified(std::size_t count)
{
    return WaitUntil([&] { return notes.size() >= count; }, kWaitMs, "the host's notification");
}

::testing::AssertionResult ExchangeHost::ReadBatch(std::initializer_list<std::uint32_t> channels)
{
    std::size_t before = notes.size();
    RequestRead(channels);
    FireRead();
    return WaitNotified(before + 1);
}

std::uint32_t ExchangeHost::ReadStatus(std::uint32_t channel)
{
    std::uint32_t status = kPending;
    return api->ansi.InputFinalized(instance, channel, &status) ? status : kPending;
}

std::uint32_t ExchangeHost::WriteStatus(std::uint32_t channel)
{
    std::uint32_t status = kPending;
    return api->ansi.OutputFinalized(instance, channel, &status) ? status : kPending;
}

Delivered ExchangeHost::Get(std::uint32_t channel, std::uint32_t type, bool wide)
{
    Delivered got{Asking(type), kPending, {}};
    std::memset(&got.timestamp, kFill, sizeof got.timestamp);
    if (wide) {
        api->wide.GetInput3(instance, channel, &got.value, &got.quality, &got.timestamp);
    } else {
        api->ansi.GetInput3(instance, channel, &got.value, &got.quality, &got.timestamp);
    }
    return got;
}

void __cdecl ExchangeHost::Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero)
{
    std::uint32_t slot = userData - kHostUserData;
    ExchangeHost* host = slot < 2 ? hosts[slot] : nullptr;
    if (host == nullptr) return;
    host->notes.push_back(HostNote{userData, kind, zero});
    if (host->onNotify) host->onNotify(kind);
}
