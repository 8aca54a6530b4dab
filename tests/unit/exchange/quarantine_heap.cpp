#include "tests/unit/exchange/quarantine_heap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <malloc.h>

extern "C" void* __real_malloc(std::size_t size);
extern "C" void __real_free(void* block);

namespace {

constexpr unsigned char kPattern = 0xDD;
constexpr std::size_t kMaxKept = 1u << 14;

struct Kept {
    unsigned char* block;
    std::size_t size;
};

// Plain static storage: the heap must not allocate while it frees.
Kept kept[kMaxKept];
std::size_t keptCount = 0;
bool armed = false;

} // namespace

extern "C" void* __wrap_malloc(std::size_t size)
{
    return __real_malloc(size);
}

extern "C" void __wrap_free(void* block)
{
    if (block == nullptr) return;
    if (!armed || keptCount == kMaxKept) {
        __real_free(block);
        return;
    }
    std::size_t size = _msize(block);
    std::memset(block, kPattern, size);
    kept[keptCount++] = Kept{static_cast<unsigned char*>(block), size};
}

QuarantineHeap::QuarantineHeap()
{
    armed = true;
}

QuarantineHeap::~QuarantineHeap()
{
    armed = false;
    while (keptCount > 0)
        __real_free(kept[--keptCount].block);
}

::testing::AssertionResult QuarantineHeap::Untouched() const
{
    for (std::size_t i = 0; i < keptCount; ++i) {
        for (std::size_t at = 0; at < kept[i].size; ++at) {
            if (kept[i].block[at] != kPattern)
                return ::testing::AssertionFailure()
                       << "a freed block of " << kept[i].size << " bytes was written at offset " << at;
        }
    }
    return ::testing::AssertionSuccess();
}
