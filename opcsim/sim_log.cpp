#include "opcsim/sim_log.h"

bool OpenSimLog(SimLog& log, const std::wstring& path)
{
    CloseSimLog(log);
    log.file =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return log.file != INVALID_HANDLE_VALUE;
}

void WriteSimLog(SimLog& log, const std::string& line)
{
    if (log.file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n"; // one write per line: lines of two threads never interleave
    DWORD written = 0;
    WriteFile(log.file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(log.file);
}

void CloseSimLog(SimLog& log)
{
    if (log.file != INVALID_HANDLE_VALUE) CloseHandle(log.file);
    log.file = INVALID_HANDLE_VALUE;
}
