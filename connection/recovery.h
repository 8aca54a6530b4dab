#pragma once
// Recovery from a lost server, asked for by the parameter file's `reconnect` key. Without it nothing
// here changes what the instance does. With it, an instance that loses its server (a shutdown notice,
// a server call that fails because the server or the connection is gone, a batch that outlived its
// limit) lets the connection go without blocking the host, behaves as after a shutdown notice while
// lost, and every `reconnect` seconds tries the whole connection again in the same mode as Init. After
// a successful attempt it works as after Init, every channel as never exchanged. The states are
// described in docs/connection.md. Everything here runs in the host's thread.

#include <cstdint>

#include <windows.h>

#include "connection/supervision.h"

struct OpcDriver;

bool ReconnectEnabled(const OpcDriver& drv);
// The instance lost its server: ignored without `reconnect`, before a successful Init and while it is
// lost already. hr is the failed call's result (ServerGone) and is only traced. True when the instance
// is lost now: the caller then ends the batches still outstanding (the exchange's part).
bool LoseServer(OpcDriver& drv, LossCause cause, HRESULT hr);
// A server call returned hr: when it means the server or the connection is gone, the server is lost
// (true, as LoseServer).
bool JudgeServerResult(OpcDriver& drv, HRESULT hr);
// The batch limit expired in synchronous mode: false when the worker has answered meanwhile (its message
// ends the batch). Otherwise the worker is given up (never touched again), both synchronous batches are
// released, and without `reconnect` every later batch fails at once.
bool GiveUpOnWorker(OpcDriver& drv, bool write);
// True once the worker was given up at the batch limit without `reconnect`.
bool WorkerGivenUp(const OpcDriver& drv);

// The rows of recovery in the window's table (driver/message_table.cpp). The reconnect timer's guard:
// the instance is lost and the attempt's deadline has passed (anyone can post a WM_TIMER).
bool ReconnectDue(const OpcDriver& drv);
// Starts the next attempt.
void OnReconnectTimer(OpcDriver& drv);
// MsgAttemptDone's guard: an attempt runs, its thread has answered, and wParam is its number.
bool AttemptAnswered(const OpcDriver& drv, WPARAM wParam);
// Judges the attempt: true when the instance is connected again; the caller then starts every channel as
// never exchanged (the exchange's part) and calls FinishRecovery. False after a failed attempt (the next
// one is scheduled) and when the record is gone (a DisposeDriver asked for during the connection).
bool OnAttemptDone(OpcDriver& drv);
// The instance is back: ServerDown is cleared, a shutdown notice counts again, and the recovery is traced.
// A notice that the new connection's server sent during the attempt is then posted as a new notice.
void FinishRecovery(OpcDriver& drv);
