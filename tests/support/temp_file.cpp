#include "tests/support/temp_file.h"

#include <windows.h>

TempFile::TempFile(const std::string& bytes)
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"tpt", 0, name) == 0) return;
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    BOOL ok =
        bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (ok && written == bytes.size()) {
        path = name;
    } else {
        DeleteFileW(name);
    }
}

TempFile::~TempFile()
{
    if (!path.empty()) DeleteFileW(path.c_str());
}
