#pragma once
// The instance's one OPC group "OVGroup": created on the server object of ConnectServer, with the I/O
// interface of the chosen mode and one item per channel. Both operations run in the thread that owns the
// connection.

struct OpcDriver;

// True when the group exists, its I/O interface for the mode is held and every channel is bound to its
// item. asyncMode selects IOPCAsyncIO2 with the data callback (true) or IOPCSyncIO (false).
// fallBackToSync is true only in asynchronous mode when the group cannot serve it (no IOPCAsyncIO2, or a
// refused data callback, which would make every asynchronous batch fail); lastError is then untouched.
// Every other failure leaves its reason in lastError. What was acquired stays for ReleaseGroup.
bool CreateGroup(OpcDriver& drv, bool asyncMode, bool& fallBackToSync);
// Gives back everything CreateGroup acquired; the group ends on the server with its last interface.
// Safe at any time and safe to repeat.
void ReleaseGroup(OpcDriver& drv);
