#pragma once
// A fixture that fails a test which leaves blocks of the core allocator behind.

#include <gtest/gtest.h>

#include "hostrt/core.h"

class LeakCheckedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        blocksBefore = LiveBlockCount();
        bytesBefore = LiveBlockBytes();
    }
    void TearDown() override
    {
        EXPECT_EQ(LiveBlockCount(), blocksBefore) << "blocks leaked";
        EXPECT_EQ(LiveBlockBytes(), bytesBefore) << "bytes leaked";
    }

    std::uint32_t blocksBefore = 0;
    std::uint64_t bytesBefore = 0;
};
