#include "fuzz/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPathMax = 4095;

struct InputFile {
    int fd = -1;
    char name[kPathMax + 1] = {};
    wchar_t wideName[kPathMax + 1] = {};
};

InputFile file;

void RemoveInputFile()
{
    if (file.fd >= 0) {
        close(file.fd);
        unlink(file.name);
        file.fd = -1;
    }
}

// Created once per process, so that parallel fuzzing jobs never share a file.
bool CreateInputFile()
{
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
    int n = std::snprintf(file.name, sizeof file.name, "%s/tagport-fuzz-XXXXXX", folder);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof file.name) return false;
    file.fd = mkstemp(file.name);
    if (file.fd < 0) return false;
    for (int i = 0; i <= n; ++i) // the name is ASCII: folder and pattern
        file.wideName[i] = static_cast<wchar_t>(static_cast<unsigned char>(file.name[i]));
    std::atexit(RemoveInputFile);
    return true;
}

bool WriteAll(const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t put = pwrite(file.fd, data + done, size - done, static_cast<off_t>(done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return ftruncate(file.fd, static_cast<off_t>(size)) == 0;
}

} // namespace

const wchar_t* WriteInputFile(const std::uint8_t* data, std::size_t size)
{
    if (file.fd < 0 && !CreateInputFile()) return nullptr;
    return WriteAll(data, size) ? file.wideName : nullptr;
}
