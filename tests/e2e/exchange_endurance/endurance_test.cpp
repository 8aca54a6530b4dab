// 10 000 read and 10 000 write batches in each mode against the simulation server, an asynchronous and a
// synchronous instance side by side: afterwards the driver holds no more blocks, and the process no more
// handles or threads, than after the first batches.

#include <gtest/gtest.h>

#include "hostrt/core.h"
#include "tests/support/e2e_host.h"
#include "tests/support/process_census.h"
#include "tests/support/wait.h"

namespace {

constexpr int kBatches = 10000;
// About two minutes on an idle machine; the limit leaves room for a loaded one within ctest's 900 s.
constexpr std::uint32_t kRunLimitMs = 780000;

// One instance that fires its next read or write batch from inside each notification, as a host does,
// until it has been notified of rounds batches of each direction.
struct Runner {
    E2eHost host;
    int reads = 0;
    int writes = 0;
    int failures = 0;

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
    bool Done(int rounds) const { return reads == rounds && writes == rounds; }
};

class EnduranceE2E : public ::testing::Test {
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
    // Both instances run their batches side by side; the wait ends when both are through.
    ::testing::AssertionResult RunBoth(int rounds)
    {
        async.KeepFiring(rounds);
        sync.KeepFiring(rounds);
        return WaitUntil([&] { return async.Done(rounds) && sync.Done(rounds); }, kRunLimitMs, "every batch");
    }

    static DriverApi api;
    Runner async;
    Runner sync;
};

DriverApi EnduranceE2E::api;

TEST_F(EnduranceE2E, TenThousandBatchesOfEachDirectionInEachModeLeaveNothingBehind)
{
    // The asynchronous server completes inside the driver's own call, and every next batch is fired from
    // inside the notification: the stack must not grow from batch to batch.
    ASSERT_TRUE(async.host.Start(api, Mode::Async, "behaviour completions reentrant\n"));
    ASSERT_TRUE(sync.host.Start(api, Mode::Sync));
    // What COM and the driver set up once, at the first batches, is not growth.
    ASSERT_TRUE(RunBoth(1));
    const std::uint32_t blocks = LiveBlockCount();
    const std::uint32_t handles = OpenHandleCount();
    const std::uint32_t threads = ThreadCount();
    ASSERT_TRUE(RunBoth(kBatches));
    EXPECT_EQ(async.failures, 0);
    EXPECT_EQ(sync.failures, 0);
    EXPECT_EQ(LiveBlockCount(), blocks);
    EXPECT_TRUE(WaitUntil([&] { return OpenHandleCount() <= handles && ThreadCount() <= threads; }, 10000,
                          "the handles and threads of the first batches"))
        << "handles " << OpenHandleCount() << " (then " << handles << "), threads " << ThreadCount()
        << " (then " << threads << ")";
    for (Runner* runner : {&async, &sync}) {
        runner->host.onNotify = nullptr;
        ASSERT_TRUE(runner->host.ReadBatch({kR8}));
        EXPECT_EQ(ReadPayload<double>(runner->host.Get(kR8, TypeF64).value),
                  static_cast<double>(kBatches - 1));
    }
}

} // namespace
