#pragma once
// The worker's service of the batches that the host's thread hands to it (the contract is in
// connection/worker.h).

#include "connection/worker_own.h"

struct OpcDriver;

// Serves read and write batches until the stop event is set, until the wait can no longer work (a
// closed handle), until the host lost the server, or until the host has given up on this worker: never
// a loop that spins. Runs in the worker's thread, which holds the group's IOPCSyncIO.
ServeEnd ServeBatches(OpcDriver& drv, const WorkerOwn& own);
// Waits (letting COM's calls in) for the host to ask for a new attempt; false on a stop.
bool AwaitAttempt(const WorkerOwn& own);
