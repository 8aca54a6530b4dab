#pragma once
// The worker thread of synchronous mode: it owns the connection (its own single-threaded apartment, every
// interface of the server and the group) and performs one blocking IOPCSyncIO call per batch handed to it.
//
// Hand-off contract with the read and write cycles (without locks but the supervision's short one, item 4):
// 1. The host's thread fills a batch only while its direction is not active (ReadActive/WriteActive):
//    syncReadNumber (the batch's number, never 0), syncReadCount, syncReadHandles, syncReadChannels (its
//    own blocks) with syncReadStates and syncReadErrors null; or the same of the write batch with
//    syncWriteValues and syncWriteErrors null. It sets the direction's Active flag, then readEvent or
//    writeEvent (SetEvent is the barrier that publishes the batch). A worker that has ended (WorkerAlive
//    false) never answers: the batch then fails at once.
// 2. Between the event and the completion message the batch's fields belong to the worker. It calls
//    IOPCSyncIO::Read (OPC_DS_DEVICE when updateRateMs is 86400000, else OPC_DS_CACHE) or ::Write,
//    stores the HRESULT in syncReadResult/syncWriteResult and the returned arrays in
//    syncReadStates/syncReadErrors or syncWriteErrors (null when the server returned none), stores the
//    batch's number into syncReadAnswered/syncWriteAnswered (release) and posts MsgSyncReadDone (1027)
//    or MsgSyncWriteDone (1028) with that number in wParam, whatever the result.
// 3. The completion's guard takes the message only when its number is the outstanding batch's and the
//    answered number (acquire) is the same: a stray or stale message while the worker still holds the
//    batch is dropped. Then the batch is the host's again, which judges it and releases it
//    (ReleaseSyncReadBatch/ReleaseSyncWriteBatch). Nothing is posted once the window is gone (after Done).
// 4. The worker notes under the supervision lock that it took the batch for its call and that it
//    answered it, and stores the results and posts under that lock: a host that gives up on it
//    (ReplaceWorker) leaves it the inputs of a call it is inside, and receives nothing from it afterwards.
// One wake-up serves a pending read before a pending write; a stop signalled together with them ends the
// worker without serving them. At most one batch of each direction is outstanding.

#include <cstdint>

#include <windows.h>

struct OpcDriver;

// The longest wait of the host's thread for the worker to end, at Done and at a server shutdown.
constexpr std::uint32_t kWorkerStopWaitMs = 30000;
// The wait for a starting worker is bounded too: its connection's own limits (the pause before the
// first status query and the wait for a running server) plus this margin for the calls themselves.
constexpr std::uint32_t kWorkerStartMarginMs = 30000;

enum class ConnectOutcome {
    Connected, // the connection is made and ready for batches
    Failed,    // no connection: the reason is in lastError
    TimedOut,  // a worker did not answer in time; it was left to end on its own and lastError is not read
};

// Sets ThreadMode and starts the worker, waiting until it is ready or has ended. A worker that ended
// before it was ready has released what it acquired and left its reason in lastError; its handles are
// closed here. A worker that could not be started at all leaves "Cannot start worker thread".
ConnectOutcome StartWorker(OpcDriver& drv);
// The worker thread's function; its argument is the instance, on which it holds a reference until its
// last instruction, and it ends through FreeLibraryAndExitThread so that the module stays loaded until then.
DWORD WINAPI WorkerMain(void* driver);
// Sets the stop event and waits at most timeoutMs for the worker to end, then closes its handles. A
// worker still running then (blocked in a call to a hung server) is left to end on its own: it closes
// its own events and lets go of the record, which from then on only it writes to. Nothing without a worker.
void StopWorker(OpcDriver& drv, std::uint32_t timeoutMs);
// Starts a worker for a recovery attempt without waiting for it: it posts MsgAttemptDone with
// supervision.attemptResult 1 once connected (then it serves batches as after Init), or 0 after it has
// released what it acquired (then it waits for the next attempt). False when it could not be started.
bool StartAttemptWorker(OpcDriver& drv);
// Gives up on the worker for a new one, without waiting: it is told to stop, never touched again, and
// from then on touches neither the record's connection nor its batches (it leaves its apartment and
// ends on its own). The record's connection fields and events are forgotten, ready for a new worker.
// Nothing without a worker.
void ReplaceWorker(OpcDriver& drv);
// Recovery with a worker that is not inside a call: it takes no batch any more, lets go of the lost
// connection in its own thread (keeping its apartment, whose RPC endpoint COM would otherwise make anew
// for every worker) and waits for RequestAttempt. False, with nothing changed, when the worker is inside
// a call or has ended: the host then gives up on it (ReplaceWorker).
bool AskWorkerToLetGo(OpcDriver& drv);
// ReplaceWorker, and both synchronous batches released: what the host gives up on a worker held in a
// call (at the batch limit, or when the server is lost meanwhile).
void GiveUpOnWorker(OpcDriver& drv);
// The next attempt: the waiting worker connects again, or a new worker is started when there is none;
// either posts MsgAttemptDone. False when nothing could be started.
bool RequestAttempt(OpcDriver& drv);
// Hands the batch of event (readEvent or writeEvent) to the worker; false when the event cannot be set.
bool SignalWorker(OpcDriver& drv, HANDLE event);
// True when the worker has answered the latest batch of the direction (its message is on its way).
bool WorkerAnswered(OpcDriver& drv, bool write);
// True once the host gave up on this instance's worker: from then on the connection fields, the
// synchronous batches and the worker's events are the worker's alone.
bool WorkerOrphaned(const OpcDriver& drv);

// True while the worker thread runs; a failed wait on its handle counts as ended.
bool WorkerAlive(const OpcDriver& drv);
