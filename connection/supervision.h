#pragma once
// The supervision of an instance's connection: one state machine in the host's thread. Every event that
// can change where the connection stands goes through Supervise, whose one decision (Decide) picks the
// next state and the step that gets there; everything else only reports events or asks for the state.
//
//                      loss, reconnect on                      ReconnectDue
//       +-----------+ ─────────────────────> +------+ ───────────────────────> +------------+
//  Init │ Connected │                        │ Lost │                          │ Attempting │
//  ───> │           │ <─────────────────────────────────────────────────────── │            │
//       +-----------+          AttemptAnswered, connected (Reconnect)          +------------+
//             │                                  ^     AttemptAnswered, failed (Retry)   │
//             │ ShutdownNotice, reconnect off    └───────────────────────────────────────┘
//             │ BatchLimit in synchronous mode, reconnect off
//             v
//       +---------+               from every state: Done (TearDown)  ───>  +-------+
//       │ Dropped │                                                        │ Ended │
//       +---------+                                                        +-------+
//
// A loss is ShutdownNotice, ServerGone or BatchLimit. The cells, and the step that performs each:
//   Init, whatever came before                        -> Connected   BeginSupervision
//   Connected  + loss, reconnect on, Init succeeded   -> Lost        LetGo: the connection is let go
//              without waiting for the server (an idle worker lets go itself, one inside a call is
//              replaced, the host's thread releases or, after BatchLimit, abandons), the outstanding
//              batches end, and the next attempt is scheduled `reconnect` from now
//   Connected  + loss inside a server call            -> Connected   Hold: carried out as above when the
//              outermost call has returned (the calls in progress still use the connection)
//   Connected  + ShutdownNotice, reconnect off        -> Dropped     Drop: the connection is dropped
//              without a call to the server, the batches end; the instance is inert until Done
//   Connected  + ServerGone or BatchLimit, reconnect off, subscribe, Init succeeded
//                                                     -> Dropped     Drop, as above (after BatchLimit in
//              asynchronous mode the connection is abandoned): ServerDown is set, since no failed read
//              would ever tell the host that values stopped coming
//   Connected  + BatchLimit, synchronous, reconnect off -> Dropped   GiveUp: the worker was given up
//              (GiveUpOnWorker); every later batch fails at once
//   Lost       + ReconnectDue                         -> Attempting  StartAttempt: a status probe
//              (asynchronous) or the worker connects; more than kStuckWorkerLimit workers still held in
//              calls postpone it (Lost, traced)
//   Attempting + AttemptAnswered, connected           -> Connected   Reconnect: asynchronous mode
//              connects in the host's thread first (failing: Lost; a group that needs it falls back to
//              a worker: Attempting); then every channel is as never exchanged, and a notice that the
//              new server sent meanwhile is posted again
//   Attempting + AttemptAnswered, failed              -> Lost        Retry
//   any but Ended + Done                              -> Ended       TearDown
//   every other cell                                  -> unchanged   Ignore
//
// Invariants (checked by tests/unit/connection/supervision_invariants.h):
//   Connected   ServerDown clear, or set by a notice whose message is still on its way.
//   Lost        reconnect on, ServerDown set, Init succeeded, no interface of the connection in the
//               record, the reconnect timer's deadline set.
//   Attempting  reconnect on, ServerDown set, attempts > 0.
//   Dropped     reconnect off; no interface of the connection in the record.
//   Ended       no window, and the sinks have no owner.

#include <cstdint>

#include <windows.h>

#include "connection/supervision_state.h"

struct OpcDriver;

enum class SupervisionAction : std::uint32_t {
    Ignore,
    Hold,
    LetGo,
    Drop,
    GiveUp,
    StartAttempt,
    Reconnect,
    Retry,
    TearDown,
};

struct SupervisionStep {
    LinkState next;
    SupervisionAction action;
};

// Workers given up on while held in a call, per instance, beyond which no further attempt starts: each
// keeps a thread and, under Wine, an RPC endpoint, and about 63 of them stop COM for the whole process.
constexpr std::uint32_t kStuckWorkerLimit = 4;

// The machine's one decision, from the state, the event and what the record says of the instance.
SupervisionStep Decide(const OpcDriver& drv, SupervisionEvent event);
// Decides and performs the step. hr is a ServerGone's failed result (traced). False when the record was
// freed (a DisposeDriver that host code asked for inside the step's own server calls): the caller must
// not touch it any more.
bool Supervise(OpcDriver& drv, SupervisionEvent event, HRESULT hr = S_OK);

// Init's entry into the machine: Connected, and the sinks speak for this instance again (a Done that the
// host called before Init has ended the instance it had then).
void BeginSupervision(OpcDriver& drv);
bool ReconnectEnabled(const OpcDriver& drv);
// A server call returned hr: when it means the server or the connection is gone, that is a ServerGone
// event. False when the record was freed, as Supervise.
bool JudgeServerResult(OpcDriver& drv, HRESULT hr);
// True while the instance holds a live connection: Connected, and no loss or notice marked.
bool ServerConnected(const OpcDriver& drv);
// True once the connection was let go for good without reconnect.
bool ConnectionDropped(const OpcDriver& drv);

// The guards of the machine's rows in the window's table (driver/message_table.cpp).
// MsgServerShutdown: the shutdown sink has set ServerDown and the instance is still connected.
bool ShutdownNoticeAwaited(const OpcDriver& drv);
// The reconnect timer: the instance is lost and the attempt's deadline has passed (anyone can post a
// WM_TIMER).
bool ReconnectDue(const OpcDriver& drv);
// MsgAttemptDone: an attempt runs, its thread has answered, and wParam is its number.
bool AttemptAnswered(const OpcDriver& drv, WPARAM wParam);
// Posts the notice's message again, after it was held back inside one of the instance's server calls.
void RepostShutdownNotice(OpcDriver& drv);

// The instance's own calls to the server from the host's thread. While such a call waits, COM's modal
// loop may dispatch messages of the host's thread (under Wine only COM's own, on some Windows versions
// posted ones too) and with them the host's own code, which may call any export. So around each call
// the instance counts itself inside, and what could pull the ground from under the caller waits for the
// outermost call's return: the host's notifications and the shutdown notice (held back by the window,
// connection/message_window.h), a loss (Hold), Done and DisposeDriver (asked for inside, carried out
// afterwards).
void EnterServerCall(OpcDriver& drv);
// Leaves one level. Leaving the outermost one carries out a Done asked for meanwhile (or by the caller),
// frees the record after a DisposeDriver, or else carries out a held loss and posts again what the
// window held back. False when the record was freed: the caller must not touch it any more.
bool LeaveServerCall(OpcDriver& drv);
