// The libFuzzer entry shared by the targets: each input becomes a file, and a broken promise is a
// crash, so that libFuzzer keeps the input that showed it.
#include "fuzz/fuzz_entry.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/input_file.h"

// The product is a 32-bit process, where a block of a gigabyte or more cannot be had and the load must
// take its out-of-memory path. Here such a block would be allocated and zeroed for real; refusing any
// single block over 64 MiB exercises that path instead and keeps every run fast.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const wchar_t* path = WriteInputFile(data, size);
    if (path == nullptr) {
        std::perror("tagport fuzz: cannot write the input file");
        std::abort();
    }
    const char* broken = RunTarget(data, size, path);
    if (broken != nullptr) {
        std::fprintf(stderr, "tagport fuzz: %s\n", broken);
        std::abort();
    }
    return 0;
}
