// The core allocator and clock. Each block carries a small header with its size, so that the live
// byte count can be kept without asking the C runtime.
#include "hostrt/core.h"

#include <atomic>
#include <cstdlib>

#include "hostrt/platform.h"

namespace {

// 8 bytes keep the caller's part aligned for doubles, as the C runtime's own blocks are.
struct BlockHeader {
    std::uint32_t size;
    std::uint32_t reserved;
};
static_assert(sizeof(BlockHeader) == 8, "the caller's part must stay 8-aligned");

std::atomic<std::uint32_t> liveBlocks{0};
std::atomic<std::uint64_t> liveBytes{0};
std::atomic<AllocationGate> allocationGate{nullptr};

} // namespace

bool AllocBlock(void** place, std::uint32_t size)
{
    if (place == nullptr) return false;
    *place = nullptr;
    // No 32-bit host gives one block of 2 GiB or more; a 64-bit process refuses it all the same, so
    // that a size that fails for the host fails here too, at once.
    if (size >= kBlockSizeLimit) return false;
    std::uint64_t total = std::uint64_t{size} + sizeof(BlockHeader);
    AllocationGate gate = allocationGate.load();
    if (gate != nullptr && !gate(size)) return false;
    auto* header = static_cast<BlockHeader*>(std::malloc(static_cast<std::size_t>(total)));
    if (header == nullptr) return false;
    header->size = size;
    header->reserved = 0;
    liveBlocks.fetch_add(1);
    liveBytes.fetch_add(size);
    *place = header + 1;
    return true;
}

void FreeBlock(void** place)
{
    if (place == nullptr || *place == nullptr) return;
    BlockHeader* header = static_cast<BlockHeader*>(*place) - 1;
    *place = nullptr;
    liveBlocks.fetch_sub(1);
    liveBytes.fetch_sub(header->size);
    std::free(header);
}

void SetAllocationGate(AllocationGate gate)
{
    allocationGate.store(gate);
}

std::uint32_t LiveBlockCount()
{
    return liveBlocks.load();
}

std::uint64_t LiveBlockBytes()
{
    return liveBytes.load();
}

std::uint64_t Ticks64()
{
    return PlatformTicks();
}
