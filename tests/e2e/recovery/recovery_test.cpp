// Recovery with `reconnect`, end to end in both modes: a shutdown notice, a server that exits inside a
// read or a write call, one that stays away for several attempts, two instances on one server that
// restarts, and Done and DisposeDriver during an attempt. After each loss the instance reports
// StatusServerDown, sends nothing, and once the server is back every channel starts as never exchanged and
// batches work again.

#include <gtest/gtest.h>

#include "tests/e2e/recovery/recovery_fixture.h"

namespace {

constexpr std::int32_t kWrittenBeforeLoss = 777;
constexpr double kWrittenWhileLost = 99.25;
// The host's quality of a good OPC quality.
constexpr std::uint32_t kGoodQuality = 750;

class RecoveryTest : public RecoveryE2E {
protected:
    // Writes one value and waits for the batch's notification.
    ::testing::AssertionResult WriteBatch(std::uint32_t channel, const HostValue& value)
    {
        return WriteBatch(host, channel, value);
    }
    ::testing::AssertionResult WriteBatch(E2eHost& instance, std::uint32_t channel, const HostValue& value)
    {
        std::size_t before = instance.notes.size();
        instance.RequestWrite(channel, value);
        instance.FireWrite();
        return instance.WaitNotified(before + 1);
    }
    // Fires a batch of the instance (the host's own, or another) that meets a server that is gone or
    // ends itself in it; synchronous mode notifies its failure, asynchronous mode fails it on return.
    void FireFatal(bool write) { FireFatal(host, write); }
    void FireFatal(E2eHost& instance, bool write)
    {
        std::size_t before = instance.notes.size();
        if (write) {
            instance.RequestWrite(kR8, Value(TypeF64, 1.5));
            instance.FireWrite();
        } else {
            instance.RequestRead({kI4});
            instance.FireRead();
        }
        if (mode() == Mode::Sync) {
            EXPECT_TRUE(instance.WaitNotified(before + 1));
        }
    }
    // A read of Sim.I4 after recovery gives the new server's value.
    void ExpectReadsAgain() { ExpectReadsAgain(host); }
    void ExpectReadsAgain(E2eHost& instance)
    {
        ASSERT_TRUE(instance.ReadBatch({kI4}));
        EXPECT_EQ(instance.ReadStatus(kI4), StatusOk);
        Delivered got = instance.Get(kI4, TypeI32);
        EXPECT_EQ(ReadPayload<std::int32_t>(got.value), 123456);
        EXPECT_EQ(got.quality, kGoodQuality);
    }
};

INSTANTIATE_TEST_SUITE_P(BothModes, RecoveryTest, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

// The next server process asks its clients to let go while the attempt is still connecting to it (after
// its group, with the items held back). The instance must not report itself back on a server that asked
// to be let go: once the attempt ends, the notice is honoured as a new loss, without any batch.
TEST_P(RecoveryTest, AShutdownNoticeDuringAnAttemptIsHonouredWhenTheAttemptEnds)
{
    constexpr char kLossByNotice[] = "Reconnect: IOPCShutdown->ShutdownRequest(...), server lost";
    ASSERT_TRUE(
        StartWith(kRecoveryKeys, "behaviour shutdown after=1000ms\nbehaviour exit-after-shutdown 200\n"));
    ASSERT_TRUE(NextScenario("behaviour shutdown after=1:AddGroup\nbehaviour delay AddItems 1000\n"));
    ASSERT_TRUE(WaitLost());
    ASSERT_TRUE(WaitUntil([&] { return ServerStarts() >= 2; }, kRecoveryWaitMs, "the second server process"));
    // A process after it would be a plain one; the next attempt finds the second one still serving.
    ASSERT_TRUE(NextScenario());
    EXPECT_TRUE(WaitUntil([&] { return TraceCount(kLossByNotice) >= 2; }, kRecoveryWaitMs,
                          "the notice of the attempt's server honoured"));
    ASSERT_TRUE(WaitBack());
    ExpectReadsAgain();
}

TEST_P(RecoveryTest, ShutdownNoticeThenDataAgainWithNothingFromBeforeTheLoss)
{
    // The notice comes well after the first batches; the next server process sends none.
    ASSERT_TRUE(StartWith(kRecoveryKeys, "behaviour shutdown after=1500ms reason=update\n"
                                         "behaviour exit-after-shutdown 200\n"));
    ASSERT_TRUE(NextScenario());
    ASSERT_TRUE(WriteBatch(kI4, Value(TypeI32, kWrittenBeforeLoss)));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    EXPECT_EQ(ReadPayload<std::int32_t>(host.Get(kI4, TypeI32).value), kWrittenBeforeLoss);

    ASSERT_TRUE(WaitLost());
    // The sink marks the instance at once; the host's thread lets the connection go when it dispatches.
    EXPECT_TRUE(
        WaitUntil([&] { return SawTrace("Reconnect: IOPCShutdown->ShutdownRequest(...), server lost"); },
                  kRecoveryWaitMs, "the loss's trace line"));
    // While lost: nothing is delivered, nothing queued, nothing notified.
    Delivered lost = host.Get(kI4, TypeI32);
    EXPECT_EQ(lost.quality, kPending) << "GetInput3 writes nothing while lost";
    std::size_t notified = host.notes.size();
    host.RequestWrite(kR8, Value(TypeF64, kWrittenWhileLost));
    host.FireWrite();
    host.RequestRead({kI4});
    host.FireRead();
    EXPECT_EQ(host.WriteStatus(kR8), StatusServerDown);

    ASSERT_TRUE(WaitBack());
    EXPECT_EQ(host.notes.size(), notified);
    EXPECT_EQ(ServerStarts(), 2u);
    // Nothing from before the loss: no value, quality 0, never exchanged in either direction.
    Delivered fresh = host.Get(kI4, TypeI32);
    EXPECT_EQ(fresh.quality, 0u);
    EXPECT_EQ(host.WriteStatus(kR8), StatusFailed);
    ExpectReadsAgain();
    EXPECT_EQ(ServerWrites("Sim.R8 "), 0u) << "a write requested while lost is never sent";
    ASSERT_TRUE(WriteBatch(kR8, Value(TypeF64, 4.5)));
    EXPECT_EQ(host.WriteStatus(kR8), StatusOk);
    EXPECT_EQ(ServerWrites("Sim.R8 "), 1u);
    EXPECT_TRUE(SawTrace("Reconnect: attempt 1"));
    EXPECT_TRUE(SawTrace("Reconnect: connected again"));
}

// With wait_running an attempt waits for a restarted server that is still being configured, as Init does.
TEST_P(RecoveryTest, WithWaitRunningAServerThatIsConfiguredAfterEachStartComesBack)
{
    ASSERT_TRUE(StartWith(std::string(kRecoveryKeys) + "wait_running = yes\n",
                          "behaviour status NOCONFIG:400ms RUNNING\n"
                          "behaviour shutdown after=1500ms reason=update\n"
                          "behaviour exit-after-shutdown 200\n"));
    ASSERT_TRUE(NextScenario("behaviour status NOCONFIG:400ms RUNNING\n"));
    ASSERT_TRUE(host.ReadBatch({kI4}));
    ASSERT_TRUE(WaitLost());
    ASSERT_TRUE(WaitBack());
    EXPECT_FALSE(SawTrace("Reconnect: attempt failed")) << "the attempt waits for the server to run";
    ExpectReadsAgain();
}

TEST_P(RecoveryTest, ServerThatExitsInsideAReadOrAWriteCallComesBack)
{
    for (bool write : {false, true}) {
        SCOPED_TRACE(write ? "write" : "read");
        host.notes.clear();
        ASSERT_TRUE(
            StartWith(kRecoveryKeys,
                      "behaviour exit " + std::string(write ? WriteCall(mode()) : ReadCall(mode())) + "\n"));
        ASSERT_TRUE(NextScenario());
        FireFatal(write);
        // The call's failure means the server is gone: lost at once.
        EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
        EXPECT_TRUE(SawTrace("Reconnect: server or connection gone (hr = 0x800706BE), server lost"));
        ASSERT_TRUE(WaitBack());
        ExpectReadsAgain();
        ASSERT_TRUE(WriteBatch(kR8, Value(TypeF64, 6.25)));
        EXPECT_EQ(host.WriteStatus(kR8), StatusOk);
        EXPECT_EQ(Logged("exit-call ").size(), 1u);
        host.Stop();
    }
}

TEST_P(RecoveryTest, ServerThatStaysAwayForSeveralAttemptsComesBackWhenItCanStart)
{
    ASSERT_TRUE(StartWith(kRecoveryKeys, "behaviour exit " + std::string(ReadCall(mode())) + "\n"));
    ASSERT_TRUE(NextScenario());
    ASSERT_TRUE(BreakRegistration());
    FireFatal(false);
    ASSERT_TRUE(WaitLost());
    ASSERT_TRUE(
        WaitUntil([&] { return SawTrace("Reconnect: attempt 3"); }, kRecoveryWaitMs, "a third attempt"));
    EXPECT_TRUE(SawTrace("Reconnect: attempt failed (Cannot create specified OPC server instance)"));
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
    ASSERT_TRUE(RestoreRegistration());
    ASSERT_TRUE(WaitBack());
    ExpectReadsAgain();
}

TEST_P(RecoveryTest, TwoInstancesOnAServerThatRestartsEachLoseItAndComeBackOnTheirOwn)
{
    // Each instance reads once; the third read ends the server inside the call.
    ASSERT_TRUE(StartWith(kRecoveryKeys, "behaviour exit " + std::string(ReadCall(mode())) + " 3\n"));
    E2eHost other;
    other.serverKeys = kRecoveryKeys;
    ASSERT_TRUE(other.Join(api, mode(), host.Sim()));
    ASSERT_TRUE(NextScenario());
    ExpectReadsAgain(host);
    ExpectReadsAgain(other);

    // The first loses its server in its own call; the other, which has not called since, is untouched.
    std::size_t otherNotes = other.notes.size();
    FireFatal(host, false);
    EXPECT_EQ(host.ReadStatus(kI4), StatusServerDown);
    ASSERT_TRUE(WaitBack(host));
    ExpectReadsAgain(host);
    EXPECT_EQ(other.ReadStatus(kI4), StatusOk);
    EXPECT_EQ(other.notes.size(), otherNotes);

    // The other finds the server gone at its next call, and comes back on the same new process.
    std::size_t hostNotes = host.notes.size();
    FireFatal(other, false);
    EXPECT_EQ(other.ReadStatus(kI4), StatusServerDown);
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
    ASSERT_TRUE(WaitBack(other));
    ExpectReadsAgain(other);
    EXPECT_EQ(host.notes.size(), hostNotes);
    EXPECT_EQ(ServerStarts(), 2u);
    EXPECT_EQ(Logged("exit-call ").size(), 1u);

    // Both work again, each with its own batches: a channel only the other wrote is never exchanged here.
    ASSERT_TRUE(WriteBatch(host, kI4, Value(TypeI32, 4242)));
    ASSERT_TRUE(WriteBatch(other, kR8, Value(TypeF64, 8.5)));
    EXPECT_EQ(host.WriteStatus(kI4), StatusOk);
    EXPECT_EQ(host.WriteStatus(kR8), StatusFailed);
    EXPECT_EQ(other.WriteStatus(kR8), StatusOk);
    EXPECT_EQ(other.WriteStatus(kI4), StatusFailed);
    ASSERT_TRUE(host.ReadBatch({kR8}));
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8, TypeF64).value), 8.5);
    EXPECT_EQ(other.ReadStatus(kR8), StatusFailed) << "the other instance read nothing of it";
    for (const HostNote& note : host.notes)
        EXPECT_EQ(note.userData, host.UserData());
    for (const HostNote& note : other.notes)
        EXPECT_EQ(note.userData, other.UserData());
    EXPECT_NE(host.UserData(), other.UserData());
    other.Stop();
}

TEST_P(RecoveryTest, DoneAndDisposeDriverDuringAnAttemptReturnAtOnce)
{
    ASSERT_TRUE(StartWith(kRecoveryKeys, "behaviour exit " + std::string(ReadCall(mode())) + "\n"));
    ASSERT_TRUE(NextScenario());
    FireFatal(false);
    ASSERT_TRUE(WaitLost());
    // The attempt starts a new server process, which takes Wine about a second: Done comes inside it.
    ASSERT_TRUE(WaitUntil([&] { return SawTrace("Reconnect: attempt 1"); }, kRecoveryWaitMs, "the attempt"));
    ULONGLONG start = GetTickCount64();
    host.Stop();
    EXPECT_LT(GetTickCount64() - start, 5000u);
}

} // namespace
