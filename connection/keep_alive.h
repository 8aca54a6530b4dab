#pragma once
// With subscribe a live server is never called for reads, and a server that dies sends no more data
// changes, so silence alone would never reveal a loss. After keepAliveMs without any call to the server
// (the `reconnect` interval, or ten update periods without it) the instance asks the server for its status:
// in asynchronous mode the host's thread calls IOPCServer::GetStatus, in synchronous mode the worker does
// (as a third kind of hand-off beside the read and the write batch, answered with MsgKeepAliveDone). A
// "server gone" result or a state other than running is a loss (ServerGone), and no answer within the
// batch limit is one too (BatchLimit), as for any call.

#include <cstdint>

#include <windows.h>

#include "connection/subscription_state.h"

struct OpcDriver;

// Posted by the worker with the check's number once it stored the answer.
constexpr std::uint32_t MsgKeepAliveDone = 1034;
// The timer of the next check while none runs, and of the check's limit while one runs.
constexpr UINT_PTR kKeepAliveTimerId = 1034;

// The time without calls after which the server's status is queried.
std::uint32_t KeepAliveIntervalMs(const OpcDriver& drv);
// After every connection (Init, a recovery): with subscribe the interval starts now.
void StartKeepAlive(OpcDriver& drv);
// When the connection is lost or ended; harmless when it never ran.
void StopKeepAlive(OpcDriver& drv);
// A call reached the server (a batch's issue): the interval starts again.
void NoteServerCall(OpcDriver& drv);

// The timer's row: the check is armed and the instance connected (the handler looks at the time itself).
bool KeepAliveTimerAwaited(const OpcDriver& drv);
// Starts a check when the interval has passed without calls, re-arms for what is left otherwise, and
// gives up on a check whose limit has passed.
void OnKeepAliveTimer(OpcDriver& drv);
// The worker's answer to the running check: wParam is its number and the worker has stored its answer.
bool KeepAliveAnswerAwaited(const OpcDriver& drv, WPARAM wParam);
void OnKeepAliveAnswer(OpcDriver& drv);
