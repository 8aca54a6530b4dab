// The native (Linux) side of platform.h, for the fuzzing build (fuzz/) only: the product is a Windows
// DLL and never contains this file. Files are read with POSIX calls. The "system ANSI code page" is a
// simple stand-in, Windows-1252 as a plain single-byte table, so that the reader's ANSI path runs
// without a code-page service; file names must be ASCII.
#include "hostrt/platform.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hostrt/core.h"

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves undefined stay at their own code point, as
// the system's conversion maps them.
constexpr wchar_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t WideOf(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : static_cast<wchar_t>(byte);
}

// The byte of a UTF-16 unit, or "?" for a unit the code page lacks (surrogates too, one per unit).
char ByteOf(wchar_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
    for (std::uint32_t i = 0; i < 32; ++i)
        if (kHigh1252[i] == unit) return static_cast<char>(0x80 + i);
    return '?';
}

// Longest file name taken; the temporary files of the fuzz targets are far shorter.
constexpr std::uint32_t kPathMax = 4095;

bool NarrowPath(const wchar_t* path, char* narrow)
{
    std::uint32_t n = WideLen(kPathMax + 1, path);
    if (n == 0 || n > kPathMax) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (path[i] >= 0x80) return false;
        narrow[i] = static_cast<char>(path[i]);
    }
    narrow[n] = '\0';
    return true;
}

bool ReadAll(int file, unsigned char* data, std::uint32_t size)
{
    std::uint32_t done = 0;
    while (done < size) {
        ssize_t got = read(file, data + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false; // an error, or the file shrank under us
        done += static_cast<std::uint32_t>(got);
    }
    return true;
}

// The whole content of an open regular file, in a new block of the core allocator.
bool ReadOpenFile(int file, std::uint32_t maxBytes, unsigned char** data, std::uint32_t* size)
{
    struct stat info {};
    // Only a regular file has a size to trust; a pipe or a device would be read for ever.
    if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return false;
    std::uint32_t bytes = static_cast<std::uint32_t>(info.st_size);
    if (!AllocBlock(*data, bytes)) return false;
    if (!ReadAll(file, *data, bytes)) {
        FreeBlock(*data);
        return false;
    }
    *size = bytes;
    return true;
}

} // namespace

std::uint64_t PlatformTicks()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

// One byte is one unit both ways, so a text fits exactly when the destination has srcLen units.
std::uint32_t PlatformAnsiToWide(const char* src, std::uint32_t srcLen, wchar_t* dst, std::uint32_t dstCap)
{
    if (srcLen == 0) return 0;
    if (dst == nullptr) return srcLen;
    if (dstCap < srcLen) return 0;
    for (std::uint32_t i = 0; i < srcLen; ++i)
        dst[i] = WideOf(static_cast<unsigned char>(src[i]));
    return srcLen;
}

std::uint32_t PlatformWideToAnsi(const wchar_t* src, std::uint32_t srcLen, char* dst, std::uint32_t dstCap)
{
    if (srcLen == 0) return 0;
    if (dst == nullptr) return srcLen;
    if (dstCap < srcLen) return 0;
    for (std::uint32_t i = 0; i < srcLen; ++i)
        dst[i] = ByteOf(src[i]);
    return srcLen;
}

bool PlatformReadFile(const wchar_t* path, std::uint32_t maxBytes, unsigned char** data, std::uint32_t* size)
{
    *data = nullptr;
    *size = 0;
    char narrow[kPathMax + 1];
    if (!NarrowPath(path, narrow)) return false;
    int file = open(narrow, O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    bool ok = ReadOpenFile(file, maxBytes, data, size);
    close(file);
    return ok;
}
