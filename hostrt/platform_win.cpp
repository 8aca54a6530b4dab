// The Windows side of platform.h.
#include "hostrt/platform.h"

#include <climits>
#include <windows.h>

#include "hostrt/core.h"

namespace {

// The system calls count in int; texts beyond that are cut there (far beyond any text we handle).
int ClampToInt(std::uint32_t n)
{
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

void CloseHandleIfValid(HANDLE& h)
{
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = nullptr;
}

bool ReadAll(HANDLE file, unsigned char* data, std::uint32_t size)
{
    std::uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file, data + done, size - done, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

} // namespace

std::uint64_t PlatformTicks()
{
    return GetTickCount64();
}

std::uint32_t PlatformAnsiToWide(const char* src, std::uint32_t srcLen, wchar_t* dst, std::uint32_t dstCap)
{
    if (srcLen == 0) return 0;
    int n =
        MultiByteToWideChar(CP_ACP, 0, src, ClampToInt(srcLen), dst, dst == nullptr ? 0 : ClampToInt(dstCap));
    return n > 0 ? static_cast<std::uint32_t>(n) : 0;
}

std::uint32_t PlatformWideToAnsi(const wchar_t* src, std::uint32_t srcLen, char* dst, std::uint32_t dstCap)
{
    if (srcLen == 0) return 0;
    int n = WideCharToMultiByte(CP_ACP, 0, src, ClampToInt(srcLen), dst,
                                dst == nullptr ? 0 : ClampToInt(dstCap), nullptr, nullptr);
    return n > 0 ? static_cast<std::uint32_t>(n) : 0;
}

bool PlatformReadFile(const wchar_t* path, std::uint32_t maxBytes, unsigned char** data, std::uint32_t* size)
{
    *data = nullptr;
    *size = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length{};
    bool ok = GetFileSizeEx(file, &length) && length.QuadPart <= static_cast<LONGLONG>(maxBytes);
    if (ok) {
        std::uint32_t bytes = static_cast<std::uint32_t>(length.QuadPart);
        ok = AllocBlock(*data, bytes) && ReadAll(file, *data, bytes);
        if (ok)
            *size = bytes;
        else
            FreeBlock(*data);
    }
    CloseHandleIfValid(file);
    return ok;
}
