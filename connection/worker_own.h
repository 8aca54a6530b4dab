#pragma once
// What a worker thread keeps of its own from its start: the epoch it serves and its events. The host
// may give up on it for a new worker, which gets new events in the record; from then on this worker
// reaches nothing of the record but these copies, the sinks it disconnects and its hold on the record.

#include <cstdint>

#include <windows.h>

struct OpcDriver;

// How the worker's service of batches ended.
enum class ServeEnd {
    Stopped,  // the stop event, or a wait that can no longer work: the worker ends
    Lost,     // the host lost the server: the worker lets go of the connection and waits for an attempt
    Replaced, // the host gave up on this worker for a new one
};

struct WorkerOwn {
    std::uint32_t epoch = 0;
    bool attempt = false; // connecting for a recovery attempt: the outcome is posted, not waited for
    HANDLE readyEvent = nullptr;
    HANDLE stopEvent = nullptr;
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    HANDLE lostEvent = nullptr;
    HANDLE attemptEvent = nullptr;
    HANDLE statusEvent = nullptr;
};

// Taken by the worker as its first act: the host made the events and set the epoch before starting it.
WorkerOwn TakeWorkerOwn(OpcDriver& drv);
// True once the host has given up on this worker for a new one. Call with the supervision lock held
// when the answer decides a store into the record.
bool WorkerReplaced(const OpcDriver& drv, const WorkerOwn& own);
