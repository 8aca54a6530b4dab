#pragma once
// The supervision of an instance's connection, embedded in OpcDriver: where the connection stands
// (connected, lost, an attempt running), which worker is the instance's own, and the results that the
// threads of an attempt hand back. The host's thread owns the state; the fields the worker or a probe
// thread also touch are atomic or guarded by lock.

#include <atomic>
#include <cstdint>

#include <windows.h>

enum class LinkState : std::uint32_t {
    Connected,  // as after Init
    Lost,       // the server went away; the next attempt waits for the reconnect timer
    Attempting, // a probe thread or a worker is trying the connection
};

// Why an instance counts as having lost its server.
enum class LossCause : std::uint32_t { ShutdownNotice, ServerGone, BatchLimit };

struct Supervision {
    LinkState state = LinkState::Connected;
    std::uint32_t attempts = 0;        // attempts since the loss; the number of the running one
    std::uint64_t attemptDeadline = 0; // Ticks64 from which the next attempt may start
    // Held only for short stores, never across a server call: serialises the worker's hand-back of a
    // batch and its last use of the record with the host giving up on it.
    SRWLOCK lock = SRWLOCK_INIT;
    // Bumped (under lock) when the host gives up on a worker for a new one: a worker whose epoch is no
    // longer the record's touches neither the connection nor the batch fields again.
    std::atomic<std::uint32_t> workerEpoch{0};
    // Batches of each direction (0 read, 1 write) handed to the worker, taken by it for its call, and
    // answered, under lock: taken ahead of answered while the worker is inside the call, handed equal to
    // answered once its message is on its way.
    std::uint32_t handed[2] = {0, 0};
    std::uint32_t taken[2] = {0, 0};
    std::uint32_t answered[2] = {0, 0};
    // The worker's two events of recovery, beside its others in the record: let go of the lost connection
    // (and take no batch any more: letGo, under lock), and connect again.
    HANDLE lostEvent = nullptr;
    HANDLE attemptEvent = nullptr;
    bool letGo = false;
    // Reconnect off: the worker was given up at the batch limit, so every later batch fails at once.
    bool workerGivenUp = false;
    // The thread whose apartment holds the connection's sinks: a shutdown notice that reaches the sink
    // in any other apartment (a worker given up on) is not this connection's.
    std::atomic<DWORD> connectionThread{0};
    // The attempt's outcome as its thread leaves it, read by the host when the message arrives.
    std::atomic<std::uint32_t> attemptResult{0};
    bool attemptByWorker = false; // the worker being started connects for an attempt, not for Init
};
