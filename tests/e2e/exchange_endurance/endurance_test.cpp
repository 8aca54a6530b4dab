// 10 000 read and 10 000 write batches in each mode against the simulation server: afterwards the
// driver holds no more blocks, and the process no more handles or threads, than after the first batch.

#include <gtest/gtest.h>

#include "hostrt/core.h"
#include "tests/e2e/exchange/exchange_host.h"
#include "tests/support/process_census.h"
#include "tests/support/wait.h"

namespace {

constexpr int kBatches = 10000;
constexpr std::uint32_t kRunLimitMs = 420000;

class EnduranceE2E : public ::testing::TestWithParam<Mode> {
protected:
    static void SetUpTestSuite()
    {
        // The driver is part of this program: its exports are resolved here, and the module entry's
        // part (_INIT) is called by hand since no DLL attach happens.
        HMODULE self = GetModuleHandleW(nullptr);
        ASSERT_TRUE(ResolveDriverApi(self, api));
        auto attach = reinterpret_cast<void(__cdecl*)(HINSTANCE)>(
            reinterpret_cast<void*>(GetProcAddress(self, "_INIT")));
        ASSERT_NE(attach, nullptr);
        attach(self);
    }

    void FireRead()
    {
        host.RequestRead({kI4, kR8Array + 1, kText});
        host.FireRead();
    }
    void FireWrite(int round)
    {
        host.RequestWrite(kR8, Value(TypeF64, static_cast<double>(round)));
        host.FireWrite();
    }
    // As a host does: each finished batch is checked and the next one of its direction is fired from
    // inside the notification, until rounds of each have been notified.
    void KeepFiring(int rounds)
    {
        reads = writes = 0;
        host.onNotify = [this, rounds](std::uint32_t kind) {
            if (kind == 0) {
                failures += host.ReadStatus(kI4) != StatusOk || host.ReadStatus(kText) != StatusOk;
                if (++reads < rounds) FireRead();
            } else {
                failures += host.WriteStatus(kR8) != StatusOk;
                if (++writes < rounds) FireWrite(writes);
            }
        };
        FireRead();
        FireWrite(0);
    }
    ::testing::AssertionResult AllNotified(int rounds)
    {
        return WaitUntil([&] { return reads == rounds && writes == rounds; }, kRunLimitMs, "every batch");
    }

    int reads = 0;
    int writes = 0;
    int failures = 0;
    static DriverApi api;
    ExchangeHost host;
};

DriverApi EnduranceE2E::api;

INSTANTIATE_TEST_SUITE_P(BothModes, EnduranceE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(EnduranceE2E, TenThousandBatchesOfEachDirectionLeaveNothingBehind)
{
    ASSERT_TRUE(host.Start(api, GetParam()));
    // What COM and the driver set up once, at the first batches, is not growth.
    KeepFiring(1);
    ASSERT_TRUE(AllNotified(1));
    const std::uint32_t blocks = LiveBlockCount();
    const std::uint32_t handles = OpenHandleCount();
    const std::uint32_t threads = ThreadCount();
    KeepFiring(kBatches);
    ASSERT_TRUE(AllNotified(kBatches));
    EXPECT_EQ(failures, 0);
    host.onNotify = nullptr;
    EXPECT_EQ(LiveBlockCount(), blocks);
    EXPECT_TRUE(WaitUntil([&] { return OpenHandleCount() <= handles && ThreadCount() <= threads; }, 10000,
                          "the handles and threads of the first batches"))
        << "handles " << OpenHandleCount() << " (then " << handles << "), threads " << ThreadCount()
        << " (then " << threads << ")";
    ASSERT_TRUE(host.ReadBatch({kR8}));
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8, TypeF64).value), static_cast<double>(kBatches - 1));
}

} // namespace
