#pragma once
// The bookkeeping of one direction's batch beside its Active/Again flags. A server may call the
// completion inside the issuing Read/Write itself (COM dispatches incoming calls while the outgoing one
// waits), so the issue marks itself and a completion that arrives meanwhile stores its item results but
// leaves the end of the batch (failing leftovers, clearing Active, notifying) to the issue's return.
// The numbers below travel in wParam of the messages the direction posts to itself, so that each guard
// can tell the message it waits for from a stray one. Only the host's thread touches these fields.

#include <cstdint>

struct BatchState {
    bool issuing = false;             // the issue has not finished judging the server's answer
    bool completionHeld = false;      // a completion came during the issue; the batch ends at its return
    std::uint32_t transactionId = 0;  // number of the latest batch: its transaction id when asynchronous,
                                      // its hand-off number when synchronous; 0 is never used
    std::uint32_t outstanding = 0;    // channels of the batch still waiting for their result
    std::uint32_t issuePosted = 0;    // number carried by the posted issue of a deferred batch; 0: none
    std::uint32_t notesPosted = 0;    // notifications of the host posted so far, numbered 1, 2, ...
    std::uint32_t notesDelivered = 0; // number of the last one delivered; they are delivered in order
    bool timerArmed = false;          // the limit on the outstanding batch runs
    std::uint64_t timerDeadline = 0;  // Ticks64 at which that batch is given up
};
