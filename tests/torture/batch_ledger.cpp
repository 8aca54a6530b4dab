#include "tests/torture/batch_ledger.h"

std::uint64_t UtcNowMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
}

const char* DirectionName(Direction direction)
{
    return direction == ReadDirection ? "read" : "write";
}

void OpenBeforeFire(BatchLedger& ledger, Direction direction, ULONGLONG dueTick)
{
    OpenBatch& batch = ledger.direction[direction];
    batch = OpenBatch{true, 1, 1, 0, GetTickCount64(), dueTick, UtcNowMs()};
    ++ledger.fired[direction];
}

void Expect(BatchLedger& ledger, Direction direction, std::uint32_t minNotes, std::uint32_t maxNotes)
{
    OpenBatch& batch = ledger.direction[direction];
    batch.minNotes = minNotes;
    batch.maxNotes = maxNotes;
    if (batch.notes >= maxNotes) batch.open = false;
}

bool IsSettled(const BatchLedger& ledger, Direction direction)
{
    return !ledger.direction[direction].open;
}

bool TakeNotification(BatchLedger& ledger, Direction direction, Findings& findings)
{
    OpenBatch& batch = ledger.direction[direction];
    ++ledger.notified[direction];
    if (!batch.open) {
        Fail(findings, std::string("a ") + DirectionName(direction) +
                           " notification that no batch fired while connected was owed");
        return false;
    }
    ULONGLONG now = GetTickCount64();
    if (now > batch.dueTick)
        Fail(findings, std::string(DirectionName(direction)) + " batch notified " +
                           std::to_string(now - batch.firedTick) +
                           " ms after its fire, later than its limit allows (" +
                           std::to_string(batch.dueTick - batch.firedTick) + " ms)");
    if (++batch.notes >= batch.maxNotes) batch.open = false;
    return true;
}

void ReportOverdue(BatchLedger& ledger, Findings& findings)
{
    ULONGLONG now = GetTickCount64();
    for (Direction direction : {ReadDirection, WriteDirection}) {
        OpenBatch& batch = ledger.direction[direction];
        if (!batch.open || batch.notes >= batch.minNotes || now <= batch.dueTick) continue;
        Fail(findings, std::string(DirectionName(direction)) +
                           " batch fired while connected got no notification within " +
                           std::to_string(batch.dueTick - batch.firedTick) + " ms");
        batch.open = false;
    }
}

void SettleUncertain(BatchLedger& ledger)
{
    for (OpenBatch& batch : ledger.direction) {
        if (batch.open && batch.minNotes == 0) batch.open = false;
    }
}

bool OwesNothing(const BatchLedger& ledger)
{
    for (const OpenBatch& batch : ledger.direction) {
        if (batch.open && batch.notes < batch.minNotes) return false;
    }
    return true;
}
