#include "tests/torture/server_log.h"

#include <algorithm>

#include "opcsim/sim_process.h"
#include "tests/torture/torture_items.h"

namespace {

bool Listed(const std::vector<DWORD>& processes, HWND window)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return std::find(processes.begin(), processes.end(), owner) != processes.end();
}

} // namespace

void AskToShutDown(const std::vector<DWORD>& processes)
{
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"opcsim", nullptr); window != nullptr;
         window = FindWindowExW(HWND_MESSAGE, window, L"opcsim", nullptr)) {
        if (Listed(processes, window)) PostMessageW(window, kMsgShutdown, 0, 0);
    }
}

void EndProcesses(const std::vector<DWORD>& processes)
{
    for (DWORD id : processes)
        EndProcess(id);
}

bool ProcessesEnded(const std::vector<DWORD>& processes)
{
    for (DWORD id : processes) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (process == nullptr) continue;
        bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        CloseHandle(process);
        if (running) return false;
    }
    return true;
}

std::size_t LoggedWritesOf(const SimServer& server, std::int32_t value)
{
    std::string needle = " value=" + std::to_string(value) + " ";
    std::size_t count = 0;
    for (const std::string& line : SimLogLines(server, kTargetWritePrefix)) {
        if (line.find(needle) != std::string::npos) ++count;
    }
    return count;
}
