#pragma once
// The bookkeeping of one direction's batch beside its Active/Again flags. A server may call the
// completion inside the issuing Read/Write itself (COM dispatches incoming calls while the outgoing one
// waits), so the issue marks itself and a completion that arrives meanwhile stores its item results but
// leaves the end of the batch (failing leftovers, clearing Active, notifying) to the return.
// Only the host's thread touches these fields.

#include <cstdint>

struct BatchState {
    bool issuing = false;            // the issue has not finished judging the server's answer
    bool completionHeld = false;     // a completion came during the issue; the batch ends at its return
    std::uint32_t transactionId = 0; // id sent with the latest asynchronous batch; 0 is never sent
    std::uint32_t outstanding = 0;   // channels of the batch still waiting for their result
};
