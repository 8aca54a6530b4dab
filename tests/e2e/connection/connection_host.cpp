#include "tests/e2e/connection/connection_host.h"

#include "tests/support/wait.h"

std::vector<HostNote> ConnectionTest::notes;

namespace {

constexpr char kPlantItems[] = "item Plant.Level R8 rw 1.5\n"
                               "item Plant.Pump BOOL rw true\n"
                               "item Plant.Profile R8[3] rw {1 2 3}\n";
constexpr char kChannels[] = "[channels]\n1 = Plant.Level\n2 = Plant.Pump\n10-12 = Plant.Profile\n";
constexpr char kDriverClass[] = "Orvex OPC client driver window class";

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

void ConnectionTest::SetUp()
{
    notes.clear();
    ASSERT_TRUE(LoadDriverApi(api));
}

void ConnectionTest::TearDown()
{
    UnloadDriverApi(api);
    for (SimServer& server : servers)
        UnregisterSimScenario(server);
}

void __cdecl ConnectionTest::Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero)
{
    notes.push_back(HostNote{userData, kind, zero});
}

::testing::AssertionResult ConnectionTest::Serve(const std::string& behaviours)
{
    sim = SimServer{};
    ::testing::AssertionResult registered = RegisterSimScenario(std::string(kPlantItems) + behaviours, sim);
    servers.push_back(sim);
    return registered;
}

std::wstring ConnectionTest::ParFile(const std::string& serverLines)
{
    files.push_back(std::make_unique<TempFile>("[server]\nCLSID = " + Narrow(sim.clsidText) + "\n" +
                                               serverLines + kChannels));
    return files.back()->Path();
}

bool ConnectionTest::Connect(OpcDriver*& instance, const std::string& serverLines, Width width,
                             std::string* text, std::uint32_t errMax)
{
    std::wstring name = ParFile(serverLines);
    bool ok = false;
    if (width == Width::Ansi) {
        instance = api.ansi.MakeDriver();
        char err[128];
        std::fill(err, err + 128, 'x');
        std::string ansiName = Narrow(name);
        ok = api.ansi.Init(instance, static_cast<std::uint32_t>(ansiName.size()), ansiName.c_str(), errMax,
                           err, 0, 0, kUserData, Notify) != FALSE;
        if (text != nullptr) *text = err;
    } else {
        instance = api.wide.MakeDriver();
        wchar_t err[128];
        std::fill(err, err + 128, L'x');
        ok = api.wide.Init(instance, static_cast<std::uint32_t>(name.size()), name.c_str(), errMax, err, 0, 0,
                           kUserData, Notify) != FALSE;
        if (text != nullptr) *text = Narrow(err);
    }
    return ok;
}

void ConnectionTest::Release(OpcDriver*& instance)
{
    api.ansi.Done(instance);
    api.ansi.DisposeDriver(instance);
    instance = nullptr;
}

std::uint32_t ConnectionTest::ReadStatus(OpcDriver* instance, std::uint32_t channel)
{
    std::uint32_t status = kPending;
    api.ansi.InputFinalized(instance, channel, &status);
    return status;
}

void ConnectionTest::FireRead(OpcDriver* instance, std::uint32_t channel)
{
    api.ansi.InputRequest(instance, channel);
    api.ansi.InputRequestCompleted(instance);
}

::testing::AssertionResult ConnectionTest::WaitNotified(std::size_t count)
{
    return WaitUntil([count] { return notes.size() >= count; }, kWaitMs, "the host's notification");
}
