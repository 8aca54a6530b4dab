#include "connection/server_gone.h"

#include <cstdint>

namespace {

constexpr std::uint32_t kGoneResults[] = {
    0x800706BAu, 0x800706BEu, 0x800706BFu, 0x80010108u, 0x800401FDu, 0x80010007u, 0x80010012u, 0x80010114u,
};

} // namespace

bool IsServerGone(HRESULT hr)
{
    for (std::uint32_t gone : kGoneResults) {
        if (static_cast<std::uint32_t>(hr) == gone) return true;
    }
    return false;
}
