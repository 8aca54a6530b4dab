#pragma once
// The worker's service of the batches that the host's thread hands to it (the contract is in
// connection/worker.h).

struct OpcDriver;
struct WorkerOwn;

// Serves read and write batches until the stop event is set, until the wait can no longer work (a
// closed handle), or until the host has given up on this worker: never a loop that spins. Runs in the
// worker's thread, which holds the group's IOPCSyncIO.
void ServeBatches(OpcDriver& drv, const WorkerOwn& own);
