#include "tools/tagprobe/text_file.h"

#include <windows.h>

#include "tools/tagprobe/text_convert.h"

namespace {

// disposition: CREATE_NEW for a file that must not exist yet, TRUNCATE_EXISTING for one reserved by name.
bool WriteTextFile(const std::wstring& path, DWORD disposition, const std::wstring& text, std::wstring& error)
{
    bool ascii = true;
    for (wchar_t ch : text)
        ascii = ascii && ch < 0x80;
    std::string bytes = (ascii ? std::string() : std::string("\xEF\xBB\xBF")) + Utf8FromWide(text);
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        error = code == ERROR_FILE_EXISTS
                    ? path + L" exists already; tagprobe never overwrites a parameter file"
                    : L"cannot create " + path + L" (Windows error " + std::to_wstring(code) + L")";
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (ok && written == bytes.size()) return true;
    error = L"cannot write " + path;
    return false;
}

} // namespace

bool WriteNewTextFile(const std::wstring& path, const std::wstring& text, std::wstring& error)
{
    return WriteTextFile(path, CREATE_NEW, text, error);
}

bool WriteTempTextFile(const std::wstring& text, std::wstring& path, std::wstring& error)
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    // GetTempFileNameW creates the file under a name no one else has, so the write only fills it.
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"tpb", 0, name) == 0) {
        error = L"cannot create a file in the temporary folder (Windows error " +
                std::to_wstring(GetLastError()) + L")";
        return false;
    }
    if (!WriteTextFile(name, TRUNCATE_EXISTING, text, error)) {
        DeleteFileW(name);
        return false;
    }
    path = name;
    return true;
}
