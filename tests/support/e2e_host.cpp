#include "tests/support/e2e_host.h"

#include <algorithm>
#include <cstring>

#include "tests/support/sim_items.h"
#include "tests/support/wait.h"

const char kStandardChannels[] =
    "[channels]\n"
    "1 = Sim.I1\n2 = Sim.I2\n3 = Sim.I4\n4 = Sim.UI1\n5 = Sim.UI2\n6 = Sim.UI4\n"
    "7 = Sim.INT\n8 = Sim.UINT\n9 = Sim.R4\n10 = Sim.R8\n11 = Sim.BOOL\n12 = Sim.BSTR\n"
    "13 = Sim.CY\n14 = Sim.DATE\n15 = Sim.ERROR\n16 = Sim.I8\n17 = Sim.ReadOnly\n"
    "18 = Sim.WriteOnly\n19 = Sim.BadQuality\n20 = Sim.Uncertain\n"
    "30-34 = Sim.R8Array\n40-42 = Sim.BSTRArray\n";

E2eHost* E2eHost::hosts[E2eHost::kMaxHosts] = {};

namespace {

constexpr std::uint8_t kFill = 0xA5;
constexpr char kDriverClass[] = "Orvex OPC client driver window class";
constexpr std::uint32_t kErrCapacity = 128;

BOOL CALLBACK CollectDriverWindow(HWND window, LPARAM windows)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == kDriverClass) reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

} // namespace

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

std::vector<HWND> DriverWindows()
{
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectDriverWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string ModeLines(Mode mode)
{
    return mode == Mode::Sync ? "sync = yes\n" : "";
}

std::string ParameterText(const SimServer& sim, const std::string& serverLines, const std::string& channels)
{
    return "[server]\nCLSID = " + Narrow(sim.clsidText) + "\n" + serverLines + channels;
}

HostValue Asking(std::uint32_t type)
{
    HostValue value{type, {}};
    std::memset(value.payload, kFill, sizeof value.payload);
    return value;
}

bool E2eHost::TakeSlot()
{
    for (std::uint32_t slot = 0; slot < kMaxHosts; ++slot) {
        if (hosts[slot] == nullptr) {
            hosts[slot] = this;
            userData = kHostUserData + slot;
            return true;
        }
    }
    return false;
}

void E2eHost::LeaveSlot()
{
    for (E2eHost*& host : hosts) {
        if (host == this) host = nullptr;
    }
}

bool E2eHost::Init(const DriverApi& exports, const std::string& parameters, Width width, std::string* text,
                   std::uint32_t errMax)
{
    EndInstance();
    api = &exports;
    if (!TakeSlot()) {
        if (text != nullptr) *text = "more test hosts than slots";
        return false;
    }
    parFile = std::make_unique<TempFile>(parameters);
    std::wstring name = parFile->Path();
    bool ok = false;
    if (width == Width::Ansi) {
        instance = api->ansi.MakeDriver();
        char err[kErrCapacity];
        std::fill(err, err + kErrCapacity, 'x');
        std::string ansiName = Narrow(name);
        ok = api->ansi.Init(instance, static_cast<std::uint32_t>(ansiName.size()), ansiName.c_str(), errMax,
                            err, 0, 0, userData, Notify) != FALSE;
        if (text != nullptr) *text = std::string(err, std::find(err, err + kErrCapacity, '\0'));
    } else {
        instance = api->wide.MakeDriver();
        wchar_t err[kErrCapacity];
        std::fill(err, err + kErrCapacity, L'x');
        ok = api->wide.Init(instance, static_cast<std::uint32_t>(name.size()), name.c_str(), errMax, err, 0,
                            0, userData, Notify) != FALSE;
        if (text != nullptr) *text = Narrow(std::wstring(err, std::find(err, err + kErrCapacity, L'\0')));
    }
    return ok;
}

::testing::AssertionResult E2eHost::Start(const DriverApi& exports, Mode mode, const std::string& behaviours)
{
    Stop();
    ::testing::AssertionResult registered =
        RegisterSimScenario(std::string(kSimStandardItems) + behaviours, sim);
    if (!registered) return registered;
    return Join(exports, mode, sim);
}

::testing::AssertionResult E2eHost::Join(const DriverApi& exports, Mode mode, const SimServer& server)
{
    std::string text;
    if (!Init(exports,
              ParameterText(server, "debug = yes\n" + ModeLines(mode) + serverKeys, kStandardChannels),
              Width::Ansi, &text))
        return ::testing::AssertionFailure() << "Init failed: " << text;
    return ::testing::AssertionSuccess();
}

void E2eHost::Done()
{
    if (instance != nullptr && !done) api->ansi.Done(instance);
    done = true;
}

void E2eHost::EndInstance()
{
    if (instance != nullptr) {
        Done();
        api->ansi.DisposeDriver(instance);
        instance = nullptr;
    }
    done = false;
    parFile.reset();
    LeaveSlot();
}

void E2eHost::Stop()
{
    EndInstance();
    UnregisterSimScenario(sim);
}

void E2eHost::RequestRead(std::initializer_list<std::uint32_t> channels)
{
    for (std::uint32_t channel : channels)
        api->ansi.InputRequest(instance, channel);
}

void E2eHost::FireRead(std::initializer_list<std::uint32_t> channels)
{
    RequestRead(channels);
    api->ansi.InputRequestCompleted(instance);
}

void E2eHost::RequestWrite(std::uint32_t channel, const HostValue& value)
{
    api->ansi.OutputRequest(instance, channel, value);
}

void E2eHost::FireWrite()
{
    api->ansi.OutputRequestCompleted(instance);
}

::testing::AssertionResult E2eHost::WaitNotified(std::size_t count)
{
    return WaitUntil([&] { return notes.size() >= count; }, kWaitMs, "the host's notification");
}

::testing::AssertionResult E2eHost::ReadBatch(std::initializer_list<std::uint32_t> channels)
{
    std::size_t before = notes.size();
    FireRead(channels);
    return WaitNotified(before + 1);
}

::testing::AssertionResult E2eHost::WaitRead(std::uint32_t channel)
{
    return WaitUntil([&] { return ReadStatus(channel) != kPending; }, kWaitMs, "the read");
}

std::uint32_t E2eHost::ReadStatus(std::uint32_t channel)
{
    std::uint32_t status = kPending;
    return api->ansi.InputFinalized(instance, channel, &status) ? status : kPending;
}

std::uint32_t E2eHost::WriteStatus(std::uint32_t channel)
{
    std::uint32_t status = kPending;
    return api->ansi.OutputFinalized(instance, channel, &status) ? status : kPending;
}

Delivered E2eHost::Get(std::uint32_t channel, std::uint32_t type, bool wide)
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

void __cdecl E2eHost::Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero)
{
    std::uint32_t slot = userData - kHostUserData;
    E2eHost* host = slot < kMaxHosts ? hosts[slot] : nullptr;
    if (host == nullptr) return;
    host->notes.push_back(HostNote{userData, kind, zero});
    if (host->onNotify) host->onNotify(kind);
}
