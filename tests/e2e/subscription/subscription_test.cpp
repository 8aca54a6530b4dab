// Subscriptions end to end in both modes: read batches answered from the server's data changes without a
// read call, the first values after Init and after a recovery, changes between batches, values that fail
// conversion, a server that dies silently or stops sending changes, Done while changes arrive, and two
// instances on one server.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/recovery/recovery_fixture.h"

DriverApi ExchangeE2E::api;

namespace {

// One update every 50 ms: the status query comes after 500 ms without calls.
constexpr char kSubscribeKeys[] = "subscribe = true\nupdate_rate = 0.05\nbatch_timeout = 3\n";
constexpr std::uint32_t kSilenceMs = 500;
constexpr std::uint32_t kBatchLimitMs = 3000;
constexpr std::uint32_t kGoodQuality = 750;
constexpr std::int32_t kScenarioI4 = 123456;
// The scenario's timestamp of the standard items, 2024-05-17T13:44:59.123 UTC.
constexpr std::uint32_t kScenarioMs = 13 * 3600000 + 44 * 60000 + 59 * 1000 + 123;

class SubscriptionTest : public RecoveryE2E {
protected:
    ::testing::AssertionResult StartSubscribed(const std::string& behaviours = "",
                                               const std::string& more = "")
    {
        return StartWith(std::string(kSubscribeKeys) + more, behaviours);
    }
    // Read batches until the channel reports StatusOk with an I4 value that pleases accept.
    template <class Accept>
    ::testing::AssertionResult WaitI4(E2eHost& instance, std::uint32_t channel, Accept accept,
                                      const char* what)
    {
        return WaitUntil(
            [&] {
                if (!instance.ReadBatch({channel}) || instance.ReadStatus(channel) != StatusOk) return false;
                return accept(ReadPayload<std::int32_t>(instance.Get(channel, TypeI32).value));
            },
            kRecoveryWaitMs, what);
    }
    ::testing::AssertionResult WaitFirstValues(E2eHost& instance)
    {
        return WaitI4(
            instance, kI4, [](std::int32_t v) { return v == kScenarioI4; }, "the first values");
    }
    // One write batch of the instance, notified and good.
    ::testing::AssertionResult WriteI4(E2eHost& instance, std::uint32_t channel, std::int32_t value)
    {
        std::size_t before = instance.notes.size();
        instance.RequestWrite(channel, Value(TypeI32, value));
        instance.FireWrite();
        if (!instance.WaitNotified(before + 1))
            return ::testing::AssertionFailure() << "no write notification";
        if (instance.WriteStatus(channel) != StatusOk)
            return ::testing::AssertionFailure() << "the write failed";
        return ::testing::AssertionSuccess();
    }
    std::size_t ReadCalls() const { return ServerCalls(ReadCall(mode())); }
    // Changes the server's item through an instance of its own without subscribe: a write of the
    // subscribed instance would show in its channel at once (it keeps what it writes).
    ::testing::AssertionResult ChangeOnServer(std::uint32_t channel, std::int32_t value)
    {
        if (!writerJoined) {
            if (!writer.Join(api, mode(), host.Sim())) return ::testing::AssertionFailure() << "no writer";
            writerJoined = true;
        }
        return WriteI4(writer, channel, value);
    }
    void TearDown() override
    {
        writer.Stop();
        RecoveryE2E::TearDown();
    }

    E2eHost writer;
    bool writerJoined = false;
};

TEST_P(SubscriptionTest, FirstValuesComeAfterInitAndBatchesMakeNoReadCall)
{
    ASSERT_TRUE(StartSubscribed());
    EXPECT_EQ(Logged("call AddGroup name=OVGroup active=1 rate=50 ").size(), 1u);
    ASSERT_TRUE(WaitFirstValues(host));
    // Asynchronous mode refreshes from the cache; the worker reads the cache once itself.
    std::size_t firstReads = mode() == Mode::Async ? 0u : 1u;
    EXPECT_EQ(ServerCalls("Refresh2"), mode() == Mode::Async ? 1u : 0u);
    EXPECT_EQ(ReadCalls(), firstReads);
    for (int batch = 0; batch < 5; ++batch)
        ASSERT_TRUE(host.ReadBatch({kI4, kR8, kText, kR8Array, kR8Array + 2, kBadQuality, kWriteOnly}));
    EXPECT_EQ(ReadCalls(), firstReads);
    Delivered i4 = host.Get(kI4, TypeI32);
    EXPECT_EQ(i4.quality, kGoodQuality);
    EXPECT_EQ(i4.timestamp.msOfDay, kScenarioMs);
    EXPECT_EQ(i4.timestamp.day, 17);
    EXPECT_EQ(i4.timestamp.month, 5);
    EXPECT_EQ(i4.timestamp.year, 2024);
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8Array + 2, TypeF64).value), 3.0);
    EXPECT_EQ(host.ReadStatus(kBadQuality), StatusOk);
    EXPECT_EQ(host.Get(kBadQuality, TypeF64).quality, 0u);
    EXPECT_EQ(host.ReadStatus(kWriteOnly), StatusWrongDirection);
    EXPECT_EQ(host.ReadStatus(kNoChannel), StatusNoChannel);
}

TEST_P(SubscriptionTest, ChangesArriveBetweenBatches)
{
    ASSERT_TRUE(StartSubscribed());
    ASSERT_TRUE(WaitFirstValues(host));
    std::size_t reads = ReadCalls();
    ASSERT_TRUE(ChangeOnServer(kI4, 4242));
    ASSERT_TRUE(WaitI4(
        host, kI4, [](std::int32_t v) { return v == 4242; }, "the written value's change"));
    EXPECT_TRUE(
        WaitForSimLog(host.Sim(), "callback OnDataChange group=OVGroup transid=0 ", 1, kRecoveryWaitMs));
    EXPECT_EQ(ReadCalls(), reads);
}

// The host's values hold no 64-bit integer: every value of Sim.I8 fails, and the other channels go on.
TEST_P(SubscriptionTest, AValueThatFailsConversionFailsItsChannelOnly)
{
    ASSERT_TRUE(StartSubscribed());
    ASSERT_TRUE(WaitFirstValues(host));
    ASSERT_TRUE(host.ReadBatch({kI8, kI4}));
    EXPECT_EQ(host.ReadStatus(kI8), StatusFailed);
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    const std::string failed = "OnDataChange: VariantToValue failed (ItemId = Sim.I8)";
    EXPECT_EQ(TraceCount(failed), 1u);
    // The next change of the item fails the same way, beside a good change of another.
    ASSERT_TRUE(ChangeOnServer(kI8, 5));
    ASSERT_TRUE(ChangeOnServer(kI4, 6));
    ASSERT_TRUE(WaitI4(
        host, kI4, [](std::int32_t v) { return v == 6; }, "the good change"));
    ASSERT_TRUE(WaitUntil([&] { return TraceCount(failed) >= 2; }, kRecoveryWaitMs, "the failed change"));
    ASSERT_TRUE(host.ReadBatch({kI8}));
    EXPECT_EQ(host.ReadStatus(kI8), StatusFailed);
    EXPECT_EQ(host.Get(kI8, TypeF64).quality, 0u);
}

TEST_P(SubscriptionTest, ChangesWithBadQualityArriveAsBadQuality)
{
    ASSERT_TRUE(StartSubscribed("behaviour changes quality=0x00\n"));
    ASSERT_TRUE(WaitFirstValues(host));
    ASSERT_TRUE(ChangeOnServer(kI4, 31));
    ASSERT_TRUE(WaitI4(
        host, kI4, [](std::int32_t v) { return v == 31; }, "the change"));
    EXPECT_EQ(host.Get(kI4, TypeI32).quality, 0u);
}

TEST_P(SubscriptionTest, AServerThatDiesSilentlyIsNoticedWithinTheStatusQueryAndItsLimit)
{
    ASSERT_TRUE(StartSubscribed());
    ASSERT_TRUE(WaitFirstValues(host));
    TraceLines();
    ULONGLONG killed = GetTickCount64();
    ASSERT_TRUE(KillSimServer(host.Sim()));
    ASSERT_TRUE(WaitLost());
    ULONGLONG noticed = GetTickCount64() - killed;
    // The stated time: the silence, then at most the batch limit for the status query; a loaded
    // machine gets a generous margin.
    EXPECT_LT(noticed, kSilenceMs + kBatchLimitMs + 5000u) << noticed << " ms";
    // The worker queries the server in synchronous mode, untraced; the host's thread traces its own query.
    if (mode() == Mode::Async) {
        EXPECT_TRUE(SawTrace("Keep-alive: IOPCServer->GetStatus(...)"));
    }
    // Inert: nothing is delivered any more.
    Delivered after = host.Get(kI4, TypeI32);
    EXPECT_EQ(after.quality, kPending);
    host.RequestRead({kI4});
    host.FireRead();
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
}

TEST_P(SubscriptionTest, AServerThatStopsSendingChangesKeepsTheLastValuesAndIsNotLost)
{
    ASSERT_TRUE(StartSubscribed("behaviour changes stop after=1500ms\n"));
    ASSERT_TRUE(WaitFirstValues(host));
    ASSERT_TRUE(WaitForSimLog(host.Sim(), "changes-stop", 1, kRecoveryWaitMs));
    ASSERT_TRUE(ChangeOnServer(kI4, 9));
    // Several silences pass: the status queries answer, nothing is lost and nothing is invented.
    std::size_t queries = Logged("call GetStatus ").size();
    ASSERT_TRUE(WaitUntil([&] { return Logged("call GetStatus ").size() >= queries + 2; }, kRecoveryWaitMs,
                          "two status queries"));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    Delivered got = host.Get(kI4, TypeI32);
    EXPECT_EQ(ReadPayload<std::int32_t>(got.value), kScenarioI4);
    EXPECT_EQ(got.timestamp.msOfDay, kScenarioMs);
}

TEST_P(SubscriptionTest, AfterARecoveryTheNewServersFirstValuesComeAndNothingFromBefore)
{
    // The second status query (the first after a silence) ends the process inside the call.
    ASSERT_TRUE(StartSubscribed("behaviour exit GetStatus 2\n", "reconnect = 0.3\n"));
    ASSERT_TRUE(NextScenario());
    ASSERT_TRUE(WaitFirstValues(host));
    ASSERT_TRUE(WriteI4(host, kI4, 777));
    ASSERT_TRUE(WaitI4(
        host, kI4, [](std::int32_t v) { return v == 777; }, "the written value"));
    ASSERT_TRUE(WaitLost());
    bool sawOld = false;
    ASSERT_TRUE(WaitI4(
        host, kI4,
        [&](std::int32_t v) {
            sawOld = sawOld || v == 777;
            return v == kScenarioI4;
        },
        "the new server's first values"));
    EXPECT_FALSE(sawOld);
    EXPECT_EQ(ServerStarts(), 2u);
}

TEST_P(SubscriptionTest, DoneWhileChangesArriveEndsCleanly)
{
    ASSERT_TRUE(StartWith("subscribe = true\nupdate_rate = 0.01\n", ""));
    ASSERT_TRUE(WaitFirstValues(host));
    // Changes keep coming: every write changes the value the next update sends.
    for (std::int32_t value = 1; value <= 5; ++value)
        ASSERT_TRUE(WriteI4(host, kI4, value));
    host.onNotify = [&](std::uint32_t) { host.Done(); };
    host.RequestWrite(kI4, Value(TypeI32, 6));
    host.FireWrite();
    ASSERT_TRUE(host.WaitNotified(host.notes.size() + 1));
    PumpMessages();
    EXPECT_TRUE(DriverWindows().empty());
}

TEST_P(SubscriptionTest, TwoInstancesOnOneServerEachFollowTheChanges)
{
    ASSERT_TRUE(StartSubscribed());
    E2eHost other;
    other.serverKeys = kSubscribeKeys;
    ASSERT_TRUE(other.Join(api, mode(), host.Sim()));
    ASSERT_TRUE(WaitFirstValues(host));
    ASSERT_TRUE(WaitFirstValues(other));
    ASSERT_TRUE(ChangeOnServer(kI4, 55));
    ASSERT_TRUE(WaitI4(
        other, kI4, [](std::int32_t v) { return v == 55; }, "the other's change"));
    ASSERT_TRUE(WaitI4(
        host, kI4, [](std::int32_t v) { return v == 55; }, "the writer's change"));
    other.Stop();
    ASSERT_TRUE(ChangeOnServer(kI4, 56));
    ASSERT_TRUE(WaitI4(
        host, kI4, [](std::int32_t v) { return v == 56; }, "a change after the other's end"));
}

// Synchronous mode: the worker's first read is a call of its own. A server hung in it holds neither Init
// (which waits for the first values at most the batch limit) nor the instance: the status query finds
// the worker held, and without reconnect the instance reports the server down.
TEST_P(SubscriptionTest, AServerHungInTheFirstReadHoldsNeitherInitNorTheInstance)
{
    if (mode() == Mode::Async) GTEST_SKIP() << "the first values come with a refresh, answered by callback";
    ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(StartSubscribed("behaviour hang SyncRead 1\n"));
    EXPECT_LT(GetTickCount64() - started, kBatchLimitMs + 10000u);
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(host.ReadStatus(kI4), StatusFailed) << "never read";
    ASSERT_TRUE(WaitLost());
    EXPECT_TRUE(SawTrace("Keep-alive: no answer within the batch time limit"));
    EXPECT_TRUE(KillSimServer(host.Sim()));
}

INSTANTIATE_TEST_SUITE_P(Modes, SubscriptionTest, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

} // namespace
