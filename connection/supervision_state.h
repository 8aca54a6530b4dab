#pragma once
// The supervision's part of the instance record (OpcDriver::supervision): where the connection stands,
// which worker is the instance's own, and what the threads of an attempt hand back. The machine that
// moves it is connection/supervision.h. The host's thread owns the state; the fields the worker or a
// probe thread also touch are atomic or guarded by lock.

#include <atomic>
#include <cstdint>

#include <windows.h>

enum class LinkState : std::uint32_t {
    Connected,  // as after Init
    Lost,       // reconnect: the server went away; the next attempt waits for the reconnect timer
    Attempting, // reconnect: a probe thread or a worker is trying the connection
    Dropped,    // no reconnect: the connection was let go for good (a shutdown notice, a worker given up)
    Ended,      // Done has run
};

// What moves the machine (connection/supervision.h). The first three are losses of the server.
enum class SupervisionEvent : std::uint32_t {
    ShutdownNotice,  // the server asked its clients to let go (MsgServerShutdown)
    ServerGone,      // a call failed because the server or the connection is gone
    BatchLimit,      // a batch outlived batch_timeout
    ReconnectDue,    // the reconnect timer
    AttemptAnswered, // the attempt's thread knows its outcome (MsgAttemptDone)
    Done,
};

struct OpcDriver;

// What the worker is handed: a read batch, a write batch, a status query; and the first values it reads
// of its own accord after each connection (subscribe).
constexpr int kWorkerSlots = 4;

// The exchange's part of the machine's steps, given to the record by MakeDriverRecord so that
// connection/ never includes exchange/: the batches of a lost server end, after a recovery every
// channel is as never exchanged, and with subscribe the data changes the worker queued are stored once
// a connection is made (so that the host's first batch finds the first values).
struct ExchangeSteps {
    void (*endBatchesOfLostServer)(OpcDriver& drv);
    void (*resetExchange)(OpcDriver& drv);
    void (*applyQueuedChanges)(OpcDriver& drv);
};

struct Supervision {
    const ExchangeSteps* exchange = nullptr;
    LinkState state = LinkState::Connected;
    std::uint32_t attempts = 0;        // attempts since the loss; the number of the running one
    std::uint64_t attemptDeadline = 0; // Ticks64 from which the next attempt may start
    // A loss reported inside one of the instance's own server calls: carried out when the outermost call
    // has returned, since the calls still in progress use the connection. hr of a ServerGone.
    bool lossHeld = false;
    SupervisionEvent heldLoss = SupervisionEvent::ServerGone;
    HRESULT heldResult = S_OK;
    // Held only for short stores, never across a server call: serialises the worker's hand-back of a
    // batch and its last use of the record with the host giving up on it.
    SRWLOCK lock = SRWLOCK_INIT;
    // Bumped (under lock) when the host gives up on a worker for a new one: a worker whose epoch is no
    // longer the record's touches neither the connection nor the batch fields again.
    std::atomic<std::uint32_t> workerEpoch{0};
    // Workers the host gave up on that have not ended yet (each is held in a call to the server).
    std::atomic<std::uint32_t> stuckWorkers{0};
    // Batches of each direction (0 read, 1 write), status queries (2, connection/keep_alive.h) and first
    // values (3) handed to the worker, taken by it for its call, and answered, under lock: taken ahead of
    // answered while the worker is inside the call, handed equal to answered once its message is on its way.
    std::uint32_t handed[kWorkerSlots] = {};
    std::uint32_t taken[kWorkerSlots] = {};
    std::uint32_t answered[kWorkerSlots] = {};
    // The worker's two events of recovery, beside its others in the record: let go of the lost connection
    // (and take no batch any more: letGo, under lock), and connect again.
    HANDLE lostEvent = nullptr;
    HANDLE attemptEvent = nullptr;
    bool letGo = false;
    // The thread whose apartment holds the connection's sinks: a shutdown notice that reaches the sink
    // in any other apartment (a worker given up on) is not this connection's.
    std::atomic<DWORD> connectionThread{0};
    // The attempt's outcome as its thread leaves it, read by the host when the message arrives.
    std::atomic<std::uint32_t> attemptResult{0};
    bool attemptByWorker = false; // the worker being started connects for an attempt, not for Init
};
