// The worker of synchronous mode against a fake server in another apartment: start, the read and write
// service with its hand-off, the stop, the shutdown notice while idle, and a worker that outlives Done.

#include <atomic>
#include <cstring>
#include <thread>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/supervision.h"
#include "connection/worker.h"
#include "hostrt/core.h"
#include "tests/support/fake_opc.h"
#include "tests/support/trace_capture.h"
#include "tests/support/wait.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

constexpr std::uint32_t kWaitMs = 10000;

// The instance whose worker is replaced at the trace line that names a call (then null again).
OpcDriver* volatile replaceAtTrace = nullptr;
const char* volatile replaceAtText = nullptr;

// Gives up on the worker from inside its trace of a call: after it took the batch under the lock and
// before it calls the server, the window in which the host may replace it.
LONG CALLBACK ReplaceWorkerAtTrace(EXCEPTION_POINTERS* info)
{
    constexpr DWORD kDebugPrint = 0x40010006; // DBG_PRINTEXCEPTION_C: length with NUL, ANSI text
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    const char* wanted = replaceAtText;
    if (record->ExceptionCode != kDebugPrint || record->NumberParameters < 2 || wanted == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
    const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    if (std::strncmp(text, wanted, std::strlen(wanted)) != 0) return EXCEPTION_CONTINUE_SEARCH;
    auto* drv = static_cast<OpcDriver*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&replaceAtTrace), nullptr));
    if (drv != nullptr) ReplaceWorker(*drv);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A write value whose every Release looks whether the instance's supervision lock is free: a worker
// must not clear the values of a batch while it holds the lock (a value's Release may call anywhere).
// Marshalling the value for the call adds references that the stubs give back later, without the lock.
class LockProbe : public IUnknown {
public:
    explicit LockProbe(OpcDriver& driver) : drv(driver) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown ? this : nullptr;
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (TryAcquireSRWLockExclusive(&drv.supervision.lock)) {
            ReleaseSRWLockExclusive(&drv.supervision.lock);
        } else {
            releasedUnderLock = true;
        }
        return --refs;
    }

    std::atomic<ULONG> refs{1};
    std::atomic<bool> releasedUnderLock{false};

private:
    OpcDriver& drv;
};

class Worker : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        ASSERT_TRUE(host.Started());
        drv->serverClsid = host.clsid;
        AddTestChannel(1);
        AddTestChannel(2);
        ASSERT_TRUE(CreateDriverWindow(*drv));
        gate = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    void TearDown() override
    {
        if (drv != nullptr) StopWorker(*drv, kWorkerStopWaitMs);
        SetEvent(gate);
        CloseHandle(gate);
        DriverRecordTest::TearDown();
    }

    // Hands a batch of both channels' items to the worker, as the read cycle does.
    void HandRead()
    {
        drv->syncReadCount = 2;
        ASSERT_TRUE(AllocBlock(drv->syncReadHandles, 2 * sizeof(std::uint32_t)));
        drv->syncReadHandles[0] = FakeGroup::kFirstServerHandle;
        drv->syncReadHandles[1] = FakeGroup::kFirstServerHandle + 1;
        SetFlag(*drv, ReadActive);
        ASSERT_TRUE(SignalWorker(*drv, drv->readEvent));
    }
    void HandWrite(IUnknown* value = nullptr)
    {
        drv->syncWriteCount = 1;
        ASSERT_TRUE(AllocBlock(drv->syncWriteHandles, sizeof(std::uint32_t)));
        ASSERT_TRUE(AllocBlock(drv->syncWriteValues, sizeof(VARIANT)));
        drv->syncWriteHandles[0] = FakeGroup::kFirstServerHandle;
        VariantInit(drv->syncWriteValues);
        if (value != nullptr) {
            V_VT(drv->syncWriteValues) = VT_UNKNOWN;
            V_UNKNOWN(drv->syncWriteValues) = value;
        }
        SetFlag(*drv, WriteActive);
        ASSERT_TRUE(SignalWorker(*drv, drv->writeEvent));
    }
    // Waits for the completion message and takes the batch back, as the cycles' completions do.
    void TakeBack(std::uint32_t message)
    {
        ASSERT_TRUE(WaitForPosted(drv->window, message, kWaitMs));
        if (message == MsgSyncReadDone) {
            ReleaseSyncReadBatch(*drv);
            ClearFlag(*drv, ReadActive);
        } else {
            ReleaseSyncWriteBatch(*drv);
            ClearFlag(*drv, WriteActive);
        }
    }
    ::testing::AssertionResult CallsEntered(int count)
    {
        return WaitUntil([&] { return server.group.callsEntered == count; }, kWaitMs, "the server's call");
    }
    // Holds the worker in a write while a read and a second write (the same batch's arrays) wait, so
    // that it finds them signalled together when the write returns.
    void PendBatchesBehindAWrite()
    {
        server.group.callGate = gate;
        ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
        ASSERT_NO_FATAL_FAILURE(HandWrite());
        ASSERT_TRUE(CallsEntered(1));
        ASSERT_NO_FATAL_FAILURE(HandRead());
        ASSERT_TRUE(SignalWorker(*drv, drv->writeEvent));
    }
    void ExpectCalls(std::initializer_list<bool> reads)
    {
        std::vector<SyncCall> calls = server.group.SyncCalls();
        ASSERT_EQ(calls.size(), reads.size());
        std::size_t i = 0;
        for (bool isRead : reads)
            EXPECT_EQ(calls[i++].isRead, isRead) << "call " << i;
    }
    // The server's ShutdownRequest, made from its own thread; fails when the worker's apartment does not
    // take the call in time (then the calling thread is left stuck in it).
    ::testing::AssertionResult DeliverShutdownNotice()
    {
        HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HRESULT result = E_PENDING;
        std::thread serverSide([&] {
            result = CallFromMta([&] { return server.shutdownPoint.NotifyShutdown(L"maintenance"); });
            SetEvent(answered);
        });
        bool delivered = WaitForSingleObject(answered, kWaitMs) == WAIT_OBJECT_0;
        if (delivered) {
            serverSide.join();
        } else {
            serverSide.detach();
        }
        CloseHandle(answered);
        if (!delivered)
            return ::testing::AssertionFailure() << "ShutdownRequest was not dispatched by the worker";
        if (result != S_OK)
            return ::testing::AssertionFailure() << "ShutdownRequest returned 0x" << std::hex << result;
        return ::testing::AssertionSuccess();
    }
    // Starts a worker, replaces it at the trace of its call (traceLine) and follows it to its end.
    void ReplaceAtTheCall(const char* traceLine, bool read, IUnknown* writeValue = nullptr)
    {
        SetFlag(*drv, Trace);
        ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
        PVOID handler = AddVectoredExceptionHandler(1, ReplaceWorkerAtTrace);
        ASSERT_NE(handler, nullptr);
        replaceAtText = traceLine;
        replaceAtTrace = drv;
        if (read) {
            HandRead();
        } else {
            HandWrite(writeValue);
        }
        EXPECT_TRUE(CallsEntered(1));
        EXPECT_TRUE(WaitUntil([&] { return replaceAtTrace == nullptr; }, kWaitMs, "the trace of the call"));
        RemoveVectoredExceptionHandler(handler);
        replaceAtText = nullptr;
        EXPECT_TRUE(WorkerOrphaned(*drv));
        FreeDriverRecord(drv);
        EXPECT_TRUE(WaitUntil([&] { return LiveBlockCount() == blocksBefore; }, kWaitMs,
                              "the worker freeing the batch and the record"));
        std::vector<SyncCall> calls = server.group.SyncCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].isRead, read);
    }
    void ExpectHandlesClosed()
    {
        EXPECT_EQ(drv->thread, nullptr);
        EXPECT_EQ(drv->readyEvent, nullptr);
        EXPECT_EQ(drv->stopEvent, nullptr);
        EXPECT_EQ(drv->readEvent, nullptr);
        EXPECT_EQ(drv->writeEvent, nullptr);
    }

    FakeServer server;
    FakeServerHost host{server};
    HANDLE gate = nullptr;
};

TEST_F(Worker, ConnectsBindsTheChannelsAndReleasesEverythingInItsOwnThreadWhenStopped)
{
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    EXPECT_TRUE(HasFlag(*drv, ThreadMode));
    EXPECT_TRUE(WorkerAlive(*drv));
    EXPECT_EQ(server.LastAddGroup().active, FALSE);
    EXPECT_EQ(server.group.ItemDefs().size(), 2u);
    EXPECT_EQ(FindChannel(drv->channels, 2)->serverHandle, FakeGroup::kFirstServerHandle + 1);

    StopWorker(*drv, kWorkerStopWaitMs);
    ExpectHandlesClosed();
    EXPECT_FALSE(WorkerAlive(*drv));
    EXPECT_EQ(drv->server, nullptr);
    EXPECT_EQ(drv->syncIo, nullptr);
    EXPECT_FALSE(HasFlag(*drv, ComInit | ShutdownAdvised));
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
    EXPECT_TRUE(WaitUntil([&] { return server.refs == 0 && server.group.refs == 0; }, kWaitMs,
                          "the server's objects released"));
}

TEST_F(Worker, TheDefaultRateReadsFromTheDeviceAndHandsTheResultsBack)
{
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    drv->syncReadNumber = 41;
    ASSERT_NO_FATAL_FAILURE(HandRead());
    WPARAM number = 0;
    ASSERT_TRUE(WaitForPosted(drv->window, MsgSyncReadDone, kWaitMs, &number));
    EXPECT_EQ(number, 41u) << "the answer names the batch handed over";
    EXPECT_EQ(drv->syncReadAnswered.load(), 41u);
    EXPECT_EQ(drv->syncReadResult, S_OK);
    ASSERT_NE(drv->syncReadStates, nullptr);
    ASSERT_NE(drv->syncReadErrors, nullptr);
    EXPECT_EQ(drv->syncReadStates[1].vDataValue.lVal, static_cast<LONG>(FakeGroup::kFirstServerHandle + 1));
    std::vector<SyncCall> calls = server.group.SyncCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].source, OPC_DS_DEVICE);
    EXPECT_EQ(calls[0].handles,
              (std::vector<OPCHANDLE>{FakeGroup::kFirstServerHandle, FakeGroup::kFirstServerHandle + 1}));
    ReleaseSyncReadBatch(*drv);
}

TEST_F(Worker, AFileRateReadsFromTheCache)
{
    drv->updateRateMs = 1000;
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_NO_FATAL_FAILURE(HandRead());
    TakeBack(MsgSyncReadDone);
    ASSERT_EQ(server.group.SyncCalls().size(), 1u);
    EXPECT_EQ(server.group.SyncCalls()[0].source, OPC_DS_CACHE);
}

TEST_F(Worker, WithTheTraceOnEachCallIsNamedBeforeAndAfter)
{
    TraceCapture capture;
    ASSERT_TRUE(capture.IsInstalled());
    SetFlag(*drv, Trace);
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_NO_FATAL_FAILURE(HandRead());
    TakeBack(MsgSyncReadDone);
    ASSERT_NO_FATAL_FAILURE(HandWrite());
    TakeBack(MsgSyncWriteDone);
    drv->updateRateMs = 1000; // read only by the worker's next read
    ASSERT_NO_FATAL_FAILURE(HandRead());
    TakeBack(MsgSyncReadDone);
    EXPECT_EQ(capture.Take(),
              (std::vector<std::wstring>{
                  L"IOPCSyncIO->Read( OPC_DS_DEVICE, ...)\r\n", L"IOPCSyncIO->Read() returned\r\n",
                  L"IOPCSyncIO->Write(...)\r\n", L"IOPCSyncIO->Write() returned\r\n",
                  L"IOPCSyncIO->Read( OPC_DS_CACHE, ...)\r\n", L"IOPCSyncIO->Read() returned\r\n"}));
}

TEST_F(Worker, AFailedCallIsHandedBackUnexamined)
{
    server.group.writeResult = E_FAIL;
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_NO_FATAL_FAILURE(HandWrite());
    ASSERT_TRUE(WaitForPosted(drv->window, MsgSyncWriteDone, kWaitMs));
    EXPECT_EQ(drv->syncWriteResult, E_FAIL);
    ReleaseSyncWriteBatch(*drv);
}

TEST_F(Worker, APendingReadIsServedBeforeAPendingWrite)
{
    ASSERT_NO_FATAL_FAILURE(PendBatchesBehindAWrite());
    SetEvent(gate);
    ASSERT_TRUE(WaitForPosted(drv->window, MsgSyncWriteDone, kWaitMs));
    CoTaskMemFree(drv->syncWriteErrors); // the write batch's own arrays serve the second write
    drv->syncWriteErrors = nullptr;
    ASSERT_TRUE(CallsEntered(2));
    SetEvent(gate);
    TakeBack(MsgSyncReadDone);
    ASSERT_TRUE(CallsEntered(3));
    SetEvent(gate);
    TakeBack(MsgSyncWriteDone);
    ExpectCalls({false, true, false});
}

TEST_F(Worker, AStopSignalledWithPendingBatchesEndsTheWorkerWithoutServingThem)
{
    ASSERT_NO_FATAL_FAILURE(PendBatchesBehindAWrite());
    ASSERT_TRUE(SetEvent(drv->stopEvent));
    SetEvent(gate);
    StopWorker(*drv, kWorkerStopWaitMs);
    ExpectHandlesClosed();
    ExpectCalls({false});
}

// The server's call into the worker's apartment: it must be dispatched while the worker idles.
TEST_F(Worker, AShutdownNoticeReachesAnIdleWorker)
{
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_TRUE(DeliverShutdownNotice());
    EXPECT_TRUE(IsServerDown(*drv));
    ASSERT_TRUE(WaitForPosted(drv->window, MsgServerShutdown, kWaitMs));

    ASSERT_TRUE(Supervise(*drv, SupervisionEvent::ShutdownNotice));
    ExpectHandlesClosed();
    EXPECT_FALSE(HasFlag(*drv, ThreadMode | ComInit));
    EXPECT_EQ(drv->server, nullptr);
    EXPECT_EQ(drv->syncIo, nullptr);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0) << "nothing is called on a server that is going away";
}

// Done before the notice's message was handled: the worker must still be stopped before the record goes.
TEST_F(Worker, DoneBeforeTheShutdownMessageIsHandledStopsTheWorker)
{
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_TRUE(DeliverShutdownNotice());
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), drv->thread, GetCurrentProcess(), &thread, SYNCHRONIZE,
                                FALSE, 0));
    Done(*drv);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    ExpectHandlesClosed();
    EXPECT_FALSE(HasFlag(*drv, ThreadMode | ComInit));
    EXPECT_EQ(drv->syncIo, nullptr);
    EXPECT_EQ(drv->window, nullptr);
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
}

TEST_F(Worker, AWorkerThatFailsToConnectEndsAndLeavesItsReason)
{
    server.statusAnswers = {{S_OK, OPC_STATUS_FAILED, true}};
    EXPECT_EQ(StartWorker(*drv), ConnectOutcome::Failed);
    EXPECT_STREQ(drv->lastError, L"Server startup failed");
    ExpectHandlesClosed();
    EXPECT_TRUE(HasFlag(*drv, ThreadMode));
    EXPECT_FALSE(HasFlag(*drv, ComInit));
    EXPECT_EQ(drv->server, nullptr) << "released by the worker itself";
}

TEST_F(Worker, AWorkerThatFailsToCreateTheGroupEndsAndLeavesItsReason)
{
    server.group.offerSyncIo = false;
    EXPECT_EQ(StartWorker(*drv), ConnectOutcome::Failed);
    EXPECT_STREQ(drv->lastError,
                 L"Cannot query either asynchronous or synchronous server interface (server specific error)");
    ExpectHandlesClosed();
    EXPECT_EQ(drv->itemMgt, nullptr);
    EXPECT_EQ(drv->server, nullptr);
}

// A worker blocked in a call to a hung server when the host stops waiting: the host lets go, the record
// stays alive for the worker, which closes its own events and frees the record when it finally ends.
TEST_F(Worker, AWorkerThatOutlivesDoneFreesTheRecordAsItsLastAct)
{
    server.group.callGate = gate;
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_NO_FATAL_FAILURE(HandRead());
    ASSERT_TRUE(CallsEntered(1));

    StopWorker(*drv, 0);
    EXPECT_TRUE(WorkerOrphaned(*drv));
    EXPECT_EQ(drv->thread, nullptr);
    EXPECT_EQ(drv->readEvent, nullptr) << "the events are the worker's now: the record keeps none of them";
    EXPECT_EQ(drv->stopEvent, nullptr);
    EXPECT_EQ(drv->shutdownSink.owner.load(), nullptr);

    OpcDriver* record = drv;
    HWND window = drv->window;
    FreeDriverRecord(drv); // Done, then the host's hold; the worker still holds the record
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(record->holders.load(), 1u);
    EXPECT_NE(LiveBlockCount(), blocksBefore) << "not freed while the worker may still write into it";

    SetEvent(gate);
    EXPECT_TRUE(WaitUntil([&] { return LiveBlockCount() == blocksBefore; }, kWaitMs,
                          "the worker freeing the record"));
    EXPECT_TRUE(WaitUntil([&] { return server.refs == 0 && server.group.refs == 0; }, kWaitMs,
                          "the worker releasing the server"));
    EXPECT_EQ(server.shutdownPoint.unadviseCalls, 1);
    EXPECT_FALSE(TakePosted(window, MsgSyncReadDone)) << "nothing posted after Done";
}

// The host replaces the worker between its taking a batch and its call to the server, and forgets the
// record's interfaces then. The worker calls through the interface it took with the batch, frees what
// the call returns and the batch's arrays, and ends.
TEST_F(Worker, AWorkerReplacedBeforeItsReadCallsThroughWhatItTookWithTheBatch)
{
    ASSERT_NO_FATAL_FAILURE(ReplaceAtTheCall("IOPCSyncIO->Read(", true));
}

TEST_F(Worker, AWorkerReplacedBeforeItsWriteCallsThroughWhatItTookWithTheBatch)
{
    ASSERT_NO_FATAL_FAILURE(ReplaceAtTheCall("IOPCSyncIO->Write(", false));
}

TEST_F(Worker, AReplacedWorkerClearsTheValuesOfItsBatchOutsideTheLock)
{
    LockProbe value(*drv);
    ASSERT_NO_FATAL_FAILURE(ReplaceAtTheCall("IOPCSyncIO->Write(", false, &value));
    EXPECT_TRUE(WaitUntil([&] { return value.refs.load() == 0; }, kWaitMs, "the value's last release"));
    EXPECT_FALSE(value.releasedUnderLock.load()) << "released while the worker held the lock";
}

// A batch signal with nothing handed behind it (left from before a recovery, whose request reset the
// counts) is served by nothing: no call with the record's stale arrays, and the counts stay in step,
// so that the next real batch is served and answered as usual.
TEST_F(Worker, AStaleBatchSignalIsServedByNothing)
{
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_TRUE(SetEvent(drv->readEvent));
    ASSERT_TRUE(SetEvent(drv->writeEvent));
    EXPECT_FALSE(WaitForPosted(drv->window, MsgSyncReadDone, 300));
    EXPECT_TRUE(server.group.SyncCalls().empty());
    EXPECT_TRUE(WorkerAnswered(*drv, false));
    EXPECT_TRUE(WorkerAnswered(*drv, true));
    ASSERT_NO_FATAL_FAILURE(HandRead());
    EXPECT_FALSE(WorkerAnswered(*drv, false)) << "a handed batch is owed an answer";
    TakeBack(MsgSyncReadDone);
    EXPECT_TRUE(WorkerAnswered(*drv, false));
    ExpectCalls({true});
}

// The host lets go of the server after the worker woke for a batch but before it took the lock: the
// worker sees letGo and leaves the let-go signal set. The next attempt's connection is the new one's
// all the same: the worker serves its batches instead of letting go of it at once.
TEST_F(Worker, ALetGoSignalLeftByABatchDoesNotDropTheNextConnection)
{
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    AcquireSRWLockExclusive(&drv->supervision.lock);
    SetEvent(drv->readEvent); // woken for a batch, the worker waits for the lock in its service
    Sleep(200);
    drv->supervision.letGo = true;
    SetEvent(drv->supervision.lostEvent);
    ReleaseSRWLockExclusive(&drv->supervision.lock);
    EXPECT_TRUE(WaitUntil([&] { return server.refs == 0; }, kWaitMs, "the worker letting go of the server"));

    ASSERT_TRUE(RequestAttempt(*drv));
    ASSERT_TRUE(WaitForPosted(drv->window, MsgAttemptDone, kWaitMs));
    ASSERT_EQ(drv->supervision.attemptResult.load(), 1u) << "connected again";
    ASSERT_NO_FATAL_FAILURE(HandRead());
    TakeBack(MsgSyncReadDone);
    ExpectCalls({true});
    EXPECT_GT(server.refs, 0) << "the new connection is held";
}

// Each worker given up on inside a call keeps a thread (and under Wine an RPC endpoint) until the call
// returns: the instance counts it until then.
TEST_F(Worker, AWorkerGivenUpInsideACallCountsAsStuckUntilItReturns)
{
    server.group.callGate = gate;
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    ASSERT_NO_FATAL_FAILURE(HandRead());
    ASSERT_TRUE(CallsEntered(1));
    GiveUpOnWorker(*drv);
    EXPECT_EQ(drv->supervision.stuckWorkers.load(), 1u);
    SetEvent(gate);
    EXPECT_TRUE(
        WaitUntil([&] { return drv->supervision.stuckWorkers.load() == 0; }, kWaitMs, "the worker's return"));
    EXPECT_TRUE(WaitUntil([&] { return drv->holders.load() == 1; }, kWaitMs, "the worker's end"));
}

// After the status probe of an attempt said yes, a group that needs a worker starts one: until it has
// connected, the probe's yes is not its answer.
TEST_F(Worker, AnAttemptWorkerStartsWithItsAnswerPending)
{
    drv->supervision.attemptResult.store(1);
    AcquireSRWLockExclusive(&drv->supervision.lock); // holds the worker before its connection
    ASSERT_TRUE(StartAttemptWorker(*drv));
    EXPECT_EQ(drv->supervision.attemptResult.load(), kAttemptPending);
    ReleaseSRWLockExclusive(&drv->supervision.lock);
    ASSERT_TRUE(WaitForPosted(drv->window, MsgAttemptDone, kWaitMs));
    EXPECT_EQ(drv->supervision.attemptResult.load(), 1u);
}

TEST_F(Worker, AliveOnlyWhileTheThreadRuns)
{
    EXPECT_FALSE(WorkerAlive(*drv));
    ASSERT_EQ(StartWorker(*drv), ConnectOutcome::Connected);
    EXPECT_TRUE(WorkerAlive(*drv));
    SetEvent(drv->stopEvent);
    ASSERT_EQ(WaitForSingleObject(drv->thread, kWaitMs), WAIT_OBJECT_0);
    EXPECT_FALSE(WorkerAlive(*drv));
}

} // namespace
