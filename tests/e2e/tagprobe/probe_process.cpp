#include "tests/e2e/tagprobe/probe_process.h"

#include "tests/support/sim_control.h"

namespace {

constexpr DWORD kProbeTimeoutMs = 120000;

std::wstring Quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    for (wchar_t ch : arg)
        quoted += ch == L'"' ? std::wstring(L"\\\"") : std::wstring(1, ch);
    return quoted + L"\"";
}

HANDLE CreateCaptureFile(const std::wstring& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadWholeFile(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::string Trim(const std::string& text)
{
    std::size_t start = text.find_first_not_of(' ');
    std::size_t end = text.find_last_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start, end - start + 1);
}

} // namespace

::testing::AssertionResult RunProbe(const std::vector<std::wstring>& args, ProbeResult& result,
                                    const std::wstring& copy)
{
    result = ProbeResult{};
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    std::wstring stem = std::wstring(folder) + L"tagprobe-e2e-" + std::to_wstring(GetCurrentProcessId());
    std::wstring outPath = stem + L".out";
    std::wstring errPath = stem + L".err";
    HANDLE out = CreateCaptureFile(outPath);
    HANDLE err = CreateCaptureFile(errPath);
    std::wstring program = copy.empty() ? BinaryFolder() + L"tagprobe.exe" : copy;
    std::wstring commandLine = Quoted(program);
    for (const auto& arg : args)
        commandLine += L" " + Quoted(arg);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    BOOL started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                   CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (!started)
        return ::testing::AssertionFailure() << "cannot start tagprobe.exe, error " << GetLastError();
    CloseHandle(process.hThread);
    bool ended = WaitForSingleObject(process.hProcess, kProbeTimeoutMs) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    if (!ended)
        return ::testing::AssertionFailure() << "tagprobe did not end within " << kProbeTimeoutMs << " ms";
    return ::testing::AssertionSuccess();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::vector<std::string>> TableRows(const std::string& text, const std::string& firstHeader)
{
    std::vector<std::string> lines = Lines(text);
    std::size_t header = 0;
    while (header + 1 < lines.size() &&
           lines[header].compare(0, firstHeader.size() + 2, firstHeader + "  ") != 0)
        ++header;
    std::vector<std::vector<std::string>> rows;
    if (header + 1 >= lines.size()) return rows;
    const std::string& rule = lines[header + 1];
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < rule.size(); ++i)
        if (rule[i] == '-' && (i == 0 || rule[i - 1] == ' ')) starts.push_back(i);
    for (std::size_t r = header + 2; r < lines.size() && !lines[r].empty(); ++r) {
        const std::string& line = lines[r];
        if (line.size() < rule.size() && line.find("  ") == std::string::npos) break; // not a row any more
        std::vector<std::string> cells;
        for (std::size_t c = 0; c < starts.size(); ++c) {
            std::size_t from = starts[c];
            std::size_t to = c + 1 < starts.size() ? starts[c + 1] : line.size();
            cells.push_back(from < line.size() ? Trim(line.substr(from, to - from)) : std::string());
        }
        rows.push_back(cells);
    }
    return rows;
}

std::vector<std::string> TableRow(const std::string& text, const std::string& firstHeader,
                                  const std::string& key)
{
    for (const auto& row : TableRows(text, firstHeader))
        if (!row.empty() && row[0] == key) return row;
    return {};
}

bool HasLine(const std::string& text, const std::string& line)
{
    for (const auto& candidate : Lines(text))
        if (candidate == line) return true;
    return false;
}
