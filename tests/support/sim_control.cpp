#include "tests/support/sim_control.h"

#include <cstdio>

#include <objbase.h>
#include <tlhelp32.h>

#include "tests/support/wait.h"

namespace {

std::wstring TempPath(const std::wstring& name)
{
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok =
        bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring ClassKey(const SimServer& server)
{
    return L"CLSID\\" + server.clsidText;
}

} // namespace

std::wstring BinaryFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

::testing::AssertionResult RegisterSimScenarioFile(const std::wstring& scenarioPath, SimServer& server)
{
    UnregisterSimScenario(server);
    if (FAILED(CoCreateGuid(&server.clsid))) return ::testing::AssertionFailure() << "CoCreateGuid failed";
    wchar_t text[40] = {};
    StringFromGUID2(server.clsid, text, 40);
    server.clsidText = text;
    server.logPath = TempPath(L"opcsim-" + server.clsidText + L".log");
    DeleteFileW(server.logPath.c_str());
    std::wstring command = L"\"" + BinaryFolder() + L"opcsim.exe\" --clsid " + server.clsidText +
                           L" --log \"" + server.logPath + L"\" \"" + scenarioPath + L"\"";
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, (ClassKey(server) + L"\\LocalServer32").c_str(), 0, nullptr,
                              0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (rc != ERROR_SUCCESS) return ::testing::AssertionFailure() << "cannot register the scenario: " << rc;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RegisterSimScenario(const std::string& scenarioText, SimServer& server)
{
    UnregisterSimScenario(server);
    GUID name{};
    wchar_t text[40] = {};
    CoCreateGuid(&name);
    StringFromGUID2(name, text, 40);
    std::wstring path = TempPath(L"opcsim-" + std::wstring(text) + L".scenario");
    if (!WriteBytes(path, scenarioText))
        return ::testing::AssertionFailure() << "cannot write the scenario file";
    ::testing::AssertionResult result = RegisterSimScenarioFile(path, server);
    server.scenarioPath = path;
    server.ownsScenario = true;
    return result;
}

void UnregisterSimScenario(SimServer& server)
{
    if (!server.clsidText.empty()) RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(server).c_str());
    // What the server saw is the first thing to read about a failed test: its log and scenario stay.
    bool failed = ::testing::Test::HasFailure();
    if (failed && !server.logPath.empty()) {
        std::wprintf(L"the simulation server's log is kept: %ls (scenario %ls)\n", server.logPath.c_str(),
                     server.scenarioPath.c_str());
    } else {
        if (!server.logPath.empty()) DeleteFileW(server.logPath.c_str());
        if (server.ownsScenario) DeleteFileW(server.scenarioPath.c_str());
    }
    server = SimServer{};
}

std::vector<std::string> ReadSimLog(const SimServer& server)
{
    std::vector<std::string> lines;
    HANDLE file = CreateFileW(server.logPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    CloseHandle(file);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start)); // a line still being written has no '\n' yet
    return lines;
}

std::vector<std::string> SimLogLines(const SimServer& server, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : ReadSimLog(server)) {
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    }
    return found;
}

::testing::AssertionResult WaitForSimLog(const SimServer& server, const std::string& prefix,
                                         std::size_t count, std::uint32_t timeoutMs)
{
    std::string what = std::to_string(count) + " log lines starting with \"" + prefix + "\"";
    return WaitUntil([&] { return SimLogLines(server, prefix).size() >= count; }, timeoutMs, what.c_str());
}

std::vector<DWORD> SimServerProcessIds(const SimServer& server)
{
    constexpr char kStartPrefix[] = "start pid=";
    std::vector<DWORD> processes;
    for (const std::string& line : SimLogLines(server, kStartPrefix))
        processes.push_back(static_cast<DWORD>(std::stoul(line.substr(sizeof kStartPrefix - 1))));
    return processes;
}

DWORD SimServerProcessId(const SimServer& server)
{
    std::vector<DWORD> processes = SimServerProcessIds(server);
    return processes.empty() ? 0 : processes.back();
}

bool EndProcess(DWORD pid)
{
    HANDLE process = pid != 0 ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid) : nullptr;
    if (process == nullptr) return false;
    bool ended = TerminateProcess(process, 9) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

::testing::AssertionResult KillSimServer(const SimServer& server)
{
    DWORD pid = SimServerProcessId(server);
    if (pid == 0) return ::testing::AssertionFailure() << "no server process to end";
    if (!EndProcess(pid)) return ::testing::AssertionFailure() << "the server process did not end";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult FreezeSimServer(const SimServer& server, bool freeze)
{
    DWORD pid = SimServerProcessId(server);
    if (pid == 0) return ::testing::AssertionFailure() << "no server process";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ::testing::AssertionFailure() << "no thread snapshot";
    std::size_t changed = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        DWORD result = freeze ? SuspendThread(thread) : ResumeThread(thread);
        if (result != static_cast<DWORD>(-1)) ++changed;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    if (changed == 0) return ::testing::AssertionFailure() << "no thread of the server could be changed";
    return ::testing::AssertionSuccess();
}
