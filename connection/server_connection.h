#pragma once
// The connection of an instance to its OPC server: COM initialisation of the owning thread, the server
// object, the shutdown sink, and the check (and wait) that the server's state is usable; and the ways to
// end it: released, forgotten, or left with the apartment. All run in the thread that owns the
// connection (the host's thread in asynchronous mode, the worker in synchronous mode), except
// ForgetConnection, which any thread may do for a connection it gives up on.

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
// Forgets every interface pointer of the connection without releasing it, and the flags that went with
// them (the thread whose apartment holds them may no longer be this one).
void ForgetConnection(OpcDriver& drv);
// In a worker's thread the host has given up on: disconnects the sinks from this apartment's stubs and
// ends the thread's COM initialisation, touching nothing else of the record.
void LeaveApartment(OpcDriver& drv);
// In the host's thread, for a server that stopped answering: disconnects the sinks from this apartment's
// stubs and forgets every interface pointer, and keeps the thread's COM initialisation. Ending it would
// release the proxies, and each release is a call to the server (RemRelease) that a frozen server never
// answers. The proxies and that one initialisation stay until the host's thread ends its own COM use.
void AbandonConnection(OpcDriver& drv);
// In the thread that owns the connection, once the server went away or stopped answering: disconnects
// the sinks from this apartment's stubs, ends the thread's COM initialisation and forgets every
// interface pointer without releasing it.
void LeaveDeadServer(OpcDriver& drv);
