#pragma once
// The worker's service of the batches that the host's thread hands to it (the contract is in
// connection/worker.h).

struct OpcDriver;

// Serves read and write batches until the stop event is set, or until the wait can no longer work (a
// closed handle): never a loop that spins. Runs in the worker's thread, which holds the group's
// IOPCSyncIO.
void ServeBatches(OpcDriver& drv);
