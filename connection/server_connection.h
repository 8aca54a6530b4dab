#pragma once
// The connection of an instance to its OPC server: COM initialisation of the owning thread, the server
// object, the shutdown sink, and the check (and wait) that the server's state is usable. Both run in the
// thread that owns the connection: the host's thread in asynchronous mode, the worker in synchronous mode.

struct OpcDriver;
struct IOPCServer;

// The text of a missing server object, also used by the group when no server is held.
constexpr wchar_t kErrCreateServer[] = L"Cannot create specified OPC server instance";

// True when a server object is held and its state is usable. On false the reason is in lastError and
// whatever was acquired stays for ReleaseServer.
bool ConnectServer(OpcDriver& drv);
// ConnectServer without the wait_time pause: for a server that a probe has just seen running.
bool ConnectRunningServer(OpcDriver& drv);
// The server object of the instance's CLSID on its machine, in the calling thread's apartment; false with
// server null when it cannot be had.
bool CreateServerObject(const OpcDriver& drv, IOPCServer*& server);
// Gives back everything ConnectServer acquired, ending this thread's COM initialisation last. Safe at any
// time and safe to repeat; must run in the thread that ran ConnectServer.
void ReleaseServer(OpcDriver& drv);
