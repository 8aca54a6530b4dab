#pragma once
// The fixture of the tests that run once for each direction.

#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "tests/unit/exchange/direction.h"
#include "tests/unit/exchange/exchange_fixture.h"

constexpr std::uint32_t kSentinel = 0xDEADBEEF;

class BatchTest : public ExchangeTest, public ::testing::WithParamInterface<Direction> {
protected:
    const Direction& dir() const { return GetParam(); }
    void Request(std::initializer_list<std::uint32_t> channels)
    {
        for (std::uint32_t channel : channels)
            dir().request(*drv, channel);
    }
    // The status when the channel is finished; kSentinel while it is not.
    std::uint32_t StatusOf(std::uint32_t channel)
    {
        std::uint32_t status = kSentinel;
        return dir().finalized(*drv, channel, &status) ? status : kSentinel;
    }
    DWORD LastTransaction() const { return io.calls.back().transactionId; }
    std::vector<DWORD> Handles(std::initializer_list<std::uint32_t> channels) const
    {
        std::vector<DWORD> handles;
        for (std::uint32_t channel : channels)
            handles.push_back(channel + kHandleOffset);
        return handles;
    }
};

// Names the instances of a direction-parameterised suite after the direction.
inline std::string DirectionName(const ::testing::TestParamInfo<Direction>& info)
{
    return info.param.name;
}
