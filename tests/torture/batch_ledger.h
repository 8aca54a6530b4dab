#pragma once
// The host's account of its batches, one direction at a time: which batch waits for its notification,
// how many notifications it may get, and by when. The host fires a direction again only when its last
// batch is settled, so every notification belongs to the one open batch of its kind; one that finds
// none is a notification nobody was owed.

#include <cstdint>
#include <string>

#include <windows.h>

#include "tests/torture/findings.h"

enum Direction : std::uint32_t { ReadDirection = 0, WriteDirection = 1 };

struct OpenBatch {
    bool open = false;
    std::uint32_t minNotes = 0;
    std::uint32_t maxNotes = 0;
    std::uint32_t notes = 0;
    ULONGLONG firedTick = 0;
    ULONGLONG dueTick = 0;
    std::uint64_t firedUtcMs = 0; // the system clock at the fire, as the server stamps its values
};

struct BatchLedger {
    OpenBatch direction[2];
    std::uint32_t fired[2] = {};
    std::uint32_t notified[2] = {};
};

// Milliseconds since 1601, UTC: the clock both the host and the server read.
std::uint64_t UtcNowMs();
const char* DirectionName(Direction direction);

// A batch fired now that owes exactly one notification by dueTick; narrowed once the firing call has
// returned (Expect), or settled at once when it owes none.
void OpenBeforeFire(BatchLedger& ledger, Direction direction, ULONGLONG dueTick);
void Expect(BatchLedger& ledger, Direction direction, std::uint32_t minNotes, std::uint32_t maxNotes);
bool IsSettled(const BatchLedger& ledger, Direction direction);
// A notification of this kind came in: counted against the open batch, or reported when none is open
// or it came after the batch's due time. True when it belonged to an open batch.
bool TakeNotification(BatchLedger& ledger, Direction direction, Findings& findings);
// Reports each batch that owes a notification past its due time, once, and settles it.
void ReportOverdue(BatchLedger& ledger, Findings& findings);
// A batch that may or may not have been notified (it met the loss as it was fired) is settled when the
// instance is back: a notification after that is owed by nobody.
void SettleUncertain(BatchLedger& ledger);
// True when no batch still owes a notification.
bool OwesNothing(const BatchLedger& ledger);
