#include "tests/torture/instance_ops.h"

#include <string>

#include "config/channel_table.h"
#include "tests/support/process_census.h"
#include "tests/torture/torture_items.h"

namespace {

// Values the host writes while connected, and while lost: the server's log must never show the second.
constexpr std::int32_t kConnectedValues = 100000;
constexpr std::int32_t kLostValues = 700000;
// The server stamps in 100 ns, the host's record in milliseconds.
constexpr std::uint64_t kStampSlackMs = 50;
// What the host's thread may add to a batch's limit before its notification is dispatched.
constexpr std::uint32_t kNotifySlackMs = 2000;

std::uint64_t TimestampUtcMs(const HostTimestamp& stamp)
{
    SYSTEMTIME day{};
    day.wYear = stamp.year;
    day.wMonth = stamp.month;
    day.wDay = stamp.day;
    FILETIME midnight{};
    if (!SystemTimeToFileTime(&day, &midnight)) return 0;
    std::uint64_t ms =
        ((static_cast<std::uint64_t>(midnight.dwHighDateTime) << 32) | midnight.dwLowDateTime) / 10000;
    return ms + stamp.msOfDay;
}

std::uint32_t ReadStatusOf(Episode& episode, Instance& instance, std::uint32_t channel)
{
    std::uint32_t status = kPending;
    TimedExport(episode.findings, "InputFinalized", episode.bounds.quickMs,
                [&] { status = instance.host->ReadStatus(channel); });
    return status;
}

std::uint32_t WriteStatusOf(Episode& episode, Instance& instance)
{
    std::uint32_t status = kPending;
    TimedExport(episode.findings, "OutputFinalized", episode.bounds.quickMs,
                [&] { status = instance.host->WriteStatus(kTargetChannel); });
    return status;
}

Delivered GetOf(Episode& episode, Instance& instance, std::uint32_t channel, std::uint32_t type)
{
    Delivered got{};
    TimedExport(episode.findings, "GetInput3", episode.bounds.quickMs,
                [&] { got = instance.host->Get(channel, type); });
    return got;
}

bool IsLost(Episode& episode, Instance& instance)
{
    return ReadStatusOf(episode, instance, kProbeChannel) == StatusServerDown;
}

std::string Named(const Instance& instance, const Episode& episode, const std::string& what)
{
    return "instance " + std::to_string(&instance - episode.instances) + ": " + what;
}

// With subscribe the value is the latest change the server sent, stamped when the server made it: its
// stamp never goes back, and it is never in the future.
std::string SubscribedStampFault(Instance& instance, std::uint64_t stamped, std::uint64_t now)
{
    if (stamped > now + kStampSlackMs) return "a read delivered a value stamped in the future";
    if (stamped < instance.lastRampStampMs)
        return "a read delivered a value stamped " + std::to_string(instance.lastRampStampMs - stamped) +
               " ms before one delivered earlier: a value from before";
    instance.lastRampStampMs = stamped;
    return "";
}

// Without subscribe a value of this batch is stamped within the batch's life.
std::string BatchStampFault(std::uint64_t firedUtcMs, std::uint64_t stamped, std::uint64_t now)
{
    if (stamped + kStampSlackMs >= firedUtcMs && stamped <= now + kStampSlackMs) return "";
    return "a read delivered a value stamped " +
           std::to_string(static_cast<long long>(firedUtcMs - stamped)) +
           " ms before its batch was fired: not this batch's value";
}

// A value of this batch: good, from the server's connection of now, and never one written while lost.
void CheckReadResult(Episode& episode, Instance& instance)
{
    std::uint64_t firedUtcMs = instance.ledger.direction[ReadDirection].firedUtcMs;
    if (instance.readHasRamp && ReadStatusOf(episode, instance, kRampChannel) == StatusOk) {
        Delivered got = GetOf(episode, instance, kRampChannel, TypeF64);
        std::uint64_t stamped = TimestampUtcMs(got.timestamp);
        std::uint64_t now = UtcNowMs();
        std::string stampFault = episode.plan.subscribe ? SubscribedStampFault(instance, stamped, now)
                                                        : BatchStampFault(firedUtcMs, stamped, now);
        if (got.quality != kGoodQuality)
            Fail(episode.findings,
                 Named(instance, episode, "a good read delivered quality " + std::to_string(got.quality)));
        else if (!stampFault.empty())
            Fail(episode.findings, Named(instance, episode, stampFault));
        else
            instance.lastGoodReadTick = GetTickCount64();
    }
    if (instance.readHasTarget && ReadStatusOf(episode, instance, kTargetChannel) == StatusOk) {
        std::int32_t value =
            ReadPayload<std::int32_t>(GetOf(episode, instance, kTargetChannel, TypeI32).value);
        if (value >= kLostValues)
            Fail(episode.findings,
                 Named(instance, episode,
                       "the server holds " + std::to_string(value) + ", a value the host wrote while lost"));
    }
}

void CheckWriteResult(Episode& episode, Instance& instance)
{
    if (instance.pendingWrite < 0) return;
    if (WriteStatusOf(episode, instance) == StatusOk) episode.writes[instance.pendingWrite].notifiedOk = true;
    instance.pendingWrite = -1;
}

void OnNotify(Episode& episode, Instance& instance, std::uint32_t kind)
{
    if (!instance.live) {
        Fail(episode.findings,
             Named(instance, episode, "notified (kind " + std::to_string(kind) + ") after Done"));
        return;
    }
    if (kind > WriteDirection) {
        Fail(episode.findings, Named(instance, episode, "notified with kind " + std::to_string(kind)));
        return;
    }
    Direction direction = static_cast<Direction>(kind);
    Tell(episode.findings, Named(instance, episode, std::string(DirectionName(direction)) + " notified"));
    if (!TakeNotification(instance.ledger, direction, episode.findings)) return;
    if (direction == ReadDirection)
        CheckReadResult(episode, instance);
    else
        CheckWriteResult(episode, instance);
    if (!instance.doneInNextNotification) return;
    // The host's loop disposes of the instance later, outside the window procedure.
    instance.doneInNextNotification = false;
    TimedExport(episode.findings, "Done", episode.bounds.doneMs, [&] { instance.host->Done(); });
    instance.live = false;
    Tell(episode.findings, Named(instance, episode, "Done inside its notification"));
}

// How many notifications a batch owes, judged from its channel's status as the firing call returned.
// Pending: it is outstanding and owes one. An asynchronous batch that failed on return owes none (its
// call failed, docs/exchange.md); one completed inside its call owes one. A batch that met the loss as it
// was fired (the status says lost) may or may not have been outstanding. With subscribe a read batch
// makes no call and is answered at once.
void ExpectAfterFire(Episode& episode, Instance& instance, Direction direction, std::uint32_t status)
{
    Tell(episode.findings, Named(instance, episode,
                                 std::string(DirectionName(direction)) + " fired, status on return " +
                                     (status == kPending ? "pending" : std::to_string(status))));
    bool answeredFromChanges = episode.plan.subscribe && direction == ReadDirection;
    if (answeredFromChanges) {
        // Answered at once, whatever each channel's latest change was, and notified; a loss met as it
        // was fired may come before the answer (nothing owed) or after it (the notification is posted).
        Expect(instance.ledger, direction, status == StatusServerDown ? 0 : 1, 1);
    } else if (status == kPending || (episode.mode == Mode::Async && status == StatusOk)) {
        Expect(instance.ledger, direction, 1, 1);
    } else if (episode.mode == Mode::Async && status == StatusFailed) {
        Expect(instance.ledger, direction, 0, 0);
    } else {
        Expect(instance.ledger, direction, 0, 1);
    }
}

// A batch fired while lost does nothing: its channel reports the loss at once, and it owes nothing.
void JudgeFire(Episode& episode, Instance& instance, Direction direction, bool firedLost,
               std::uint32_t status)
{
    if (!firedLost)
        ExpectAfterFire(episode, instance, direction, status);
    else if (status != StatusServerDown)
        Fail(episode.findings, Named(instance, episode,
                                     std::string("a ") + DirectionName(direction) +
                                         " fired while lost reports status " + std::to_string(status)));
}

ULONGLONG DueTick(const Episode& episode)
{
    return GetTickCount64() + episode.plan.batchTimeoutMs + kNotifySlackMs +
           2 * episode.faults.hostThreadDelayMs;
}

} // namespace

bool MakeInstance(Episode& episode, std::uint32_t index)
{
    Instance& instance = episode.instances[index];
    instance.host = std::make_unique<E2eHost>();
    // A new instance owes nothing; the counts go on over the episode.
    for (OpenBatch& batch : instance.ledger.direction)
        batch = OpenBatch{};
    instance.lost = false;
    instance.pendingWrite = -1;
    instance.lastGoodReadTick = 0;
    instance.lastRampStampMs = 0;
    instance.doneInNextNotification = false;
    instance.host->onNotify = [&episode, &instance](std::uint32_t kind) {
        OnNotify(episode, instance, kind);
    };
    std::string parameters =
        ParameterText(episode.sim, ServerLines(episode.plan, episode.mode, episode.faults.notConfiguredFirst),
                      kTortureChannels);
    std::string text;
    bool ok = false;
    TimedExport(episode.findings, "Init", episode.bounds.initMs,
                [&] { ok = instance.host->Init(*episode.api, parameters, Width::Ansi, &text); });
    // An instance whose Init failed is only ended: its exports do nothing and notify nothing.
    instance.live = ok;
    ++instance.made;
    if (!ok) Fail(episode.findings, Named(instance, episode, "Init failed: " + text));
    Tell(episode.findings, Named(instance, episode, "made, handles " + std::to_string(OpenHandleCount())));
    return ok;
}

void EndInstance(Episode& episode, Instance& instance)
{
    if (!instance.host) return;
    TimedExport(episode.findings, "Done", episode.bounds.doneMs, [&] { instance.host->Done(); });
    instance.live = false;
    TimedExport(episode.findings, "DisposeDriver", episode.bounds.quickMs, [&] { instance.host->Stop(); });
    instance.host.reset();
    Tell(episode.findings, Named(instance, episode, "ended, handles " + std::to_string(OpenHandleCount())));
}

void ObserveState(Episode& episode, Instance& instance)
{
    bool lost = IsLost(episode, instance);
    if (lost && !instance.lost) {
        ++instance.losses;
        Tell(episode.findings,
             Named(instance, episode, "lost, handles " + std::to_string(OpenHandleCount())));
        if (GetOf(episode, instance, kRampChannel, TypeF64).quality != kPending)
            Fail(episode.findings,
                 Named(instance, episode, "GetInput3 wrote a value while the server was lost"));
        if (WriteStatusOf(episode, instance) != StatusServerDown)
            Fail(episode.findings,
                 Named(instance, episode, "a finalize while lost did not report StatusServerDown"));
    }
    if (!lost && instance.lost) {
        ++instance.returns;
        Tell(episode.findings,
             Named(instance, episode, "back, handles " + std::to_string(OpenHandleCount())));
        SettleUncertain(instance.ledger);
        std::uint32_t readStatus = ReadStatusOf(episode, instance, kRampChannel);
        std::uint32_t quality = GetOf(episode, instance, kRampChannel, TypeF64).quality;
        std::uint32_t writeStatus = WriteStatusOf(episode, instance);
        // In synchronous mode the new server's notice may reach the worker between these looks: lost
        // again, which the next observation counts, not a channel that kept something.
        bool lostAgain = readStatus == StatusServerDown || writeStatus == StatusServerDown;
        // With subscribe the new connection's first values may be in already (their stamps are checked
        // with the next read).
        bool firstValues = episode.plan.subscribe && readStatus == StatusOk && quality == kGoodQuality;
        bool neverExchanged = (readStatus == StatusFailed && quality == 0) || firstValues;
        if (!lostAgain && (!neverExchanged || writeStatus != StatusFailed))
            Fail(episode.findings,
                 Named(instance, episode,
                       "back, but not as never exchanged: read status " + std::to_string(readStatus) +
                           ", quality " + std::to_string(quality) + ", write status " +
                           std::to_string(writeStatus)));
    }
    instance.lost = lost;
}

bool FireRead(Episode& episode, Instance& instance, bool withRamp, bool withTarget)
{
    bool lost = IsLost(episode, instance);
    if (!lost && !IsSettled(instance.ledger, ReadDirection)) return false;
    std::uint32_t first = withRamp ? kRampChannel : kTargetChannel;
    if (!lost) {
        OpenBeforeFire(instance.ledger, ReadDirection, DueTick(episode));
        instance.readHasRamp = withRamp;
        instance.readHasTarget = withTarget;
    }
    TimedExport(episode.findings, "InputRequest", episode.bounds.quickMs, [&] {
        if (withRamp) instance.host->RequestRead({kRampChannel});
        if (withTarget) instance.host->RequestRead({kTargetChannel});
    });
    TimedExport(episode.findings, "InputRequestCompleted", episode.bounds.fireMs,
                [&] { instance.host->FireRead(); });
    JudgeFire(episode, instance, ReadDirection, lost, ReadStatusOf(episode, instance, first));
    return true;
}

bool FireWrite(Episode& episode, Instance& instance)
{
    bool lost = IsLost(episode, instance);
    if (!lost && !IsSettled(instance.ledger, WriteDirection)) return false;
    WriteRecord record;
    record.whileLost = lost;
    record.value =
        (lost ? kLostValues : kConnectedValues) + static_cast<std::int32_t>(episode.writes.size()) + 1;
    episode.writes.push_back(record);
    if (!lost) {
        OpenBeforeFire(instance.ledger, WriteDirection, DueTick(episode));
        instance.pendingWrite = static_cast<std::int32_t>(episode.writes.size()) - 1;
    }
    TimedExport(episode.findings, "OutputRequest", episode.bounds.quickMs,
                [&] { instance.host->RequestWrite(kTargetChannel, Value(TypeI32, record.value)); });
    TimedExport(episode.findings, "OutputRequestCompleted", episode.bounds.fireMs,
                [&] { instance.host->FireWrite(); });
    JudgeFire(episode, instance, WriteDirection, lost, WriteStatusOf(episode, instance));
    return true;
}
