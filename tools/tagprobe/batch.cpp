#include "tools/tagprobe/batch.h"

namespace {

using FinalizedFn = BOOL(__cdecl*)(DriverHandle, std::uint32_t channel, std::uint32_t* status);

constexpr std::uint8_t kFirstSentinel = 0xA5;
constexpr std::uint8_t kSecondSentinel = 0x5A;

struct Finish {
    bool finished = false;
    std::uint32_t status = 0;
};

bool PollFinishes(const DriverSession& session, FinalizedFn finalized,
                  const std::vector<std::uint32_t>& channels, std::vector<Finish>& finishes)
{
    bool all = true;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (!finishes[i].finished)
            finishes[i].finished = finalized(session.driver, channels[i], &finishes[i].status) != FALSE;
        all = all && finishes[i].finished;
    }
    return all;
}

BatchEnd AwaitBatch(DriverSession& session, std::uint32_t kind, LONG seen, FinalizedFn finalized,
                    const std::vector<std::uint32_t>& channels, std::uint32_t timeoutMs, HANDLE interrupt,
                    std::vector<Finish>& finishes)
{
    finishes.assign(channels.size(), Finish{});
    ULONGLONG start = GetTickCount64();
    while (!PollFinishes(session, finalized, channels, finishes)) {
        ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeoutMs) return BatchEnd::TimedOut;
        WaitOutcome outcome = WaitForNotification(session, kind, seen,
                                                  static_cast<std::uint32_t>(timeoutMs - elapsed), interrupt);
        if (outcome == WaitOutcome::TimedOut) return BatchEnd::TimedOut;
        if (outcome == WaitOutcome::Interrupted) return BatchEnd::Interrupted;
        seen = session.notifications[kind];
    }
    return BatchEnd::Finished;
}

} // namespace

BatchEnd RunReadBatch(DriverSession& session, const std::vector<ReadRequest>& requests,
                      std::uint32_t timeoutMs, HANDLE interrupt, std::vector<ChannelReading>& readings)
{
    const DriverLibrary& lib = *session.lib;
    LONG seen = session.notifications[kReadKind];
    std::vector<std::uint32_t> channels;
    for (const auto& request : requests) {
        channels.push_back(request.channel);
        lib.inputRequest(session.driver, request.channel);
    }
    lib.inputRequestCompleted(session.driver);
    std::vector<Finish> finishes;
    BatchEnd end =
        AwaitBatch(session, kReadKind, seen, lib.inputFinalized, channels, timeoutMs, interrupt, finishes);
    readings.clear();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        ChannelReading reading;
        reading.channel = requests[i].channel;
        reading.type = requests[i].type;
        reading.finished = finishes[i].finished;
        reading.status = finishes[i].status;
        if (reading.finished && reading.status == 0) FetchValue(session, reading);
        readings.push_back(reading);
    }
    return end;
}

BatchEnd RunWriteBatch(DriverSession& session, std::vector<WriteRequest>& requests, std::uint32_t timeoutMs,
                       HANDLE interrupt, std::vector<ChannelWrite>& writes)
{
    const DriverLibrary& lib = *session.lib;
    LONG seen = session.notifications[kWriteKind];
    std::vector<std::uint32_t> channels;
    for (auto& request : requests) {
        channels.push_back(request.channel);
        lib.outputRequest(session.driver, request.channel, BindValue(request.value, lib.wide));
    }
    lib.outputRequestCompleted(session.driver);
    std::vector<Finish> finishes;
    BatchEnd end =
        AwaitBatch(session, kWriteKind, seen, lib.outputFinalized, channels, timeoutMs, interrupt, finishes);
    writes.clear();
    for (std::size_t i = 0; i < requests.size(); ++i)
        writes.push_back(ChannelWrite{requests[i].channel, finishes[i].finished, finishes[i].status});
    return end;
}

namespace {

// Without a canonical type to go by, the first of these that the driver delivers is shown.
constexpr std::uint32_t kGuessedTypes[] = {TypeF64, TypeText, TypeBool};

void FetchValueAs(const DriverSession& session, ChannelReading& reading)
{
    const DriverLibrary& lib = *session.lib;
    DeliverySlot first;
    DeliverySlot second;
    PrepareSlot(first, reading.type, lib.wide, kFirstSentinel);
    PrepareSlot(second, reading.type, lib.wide, kSecondSentinel);
    std::uint32_t quality = 0;
    lib.getInput3(session.driver, reading.channel, &first.value, &quality, &reading.timestamp);
    lib.getInput3(session.driver, reading.channel, &second.value, &reading.quality, &reading.timestamp);
    reading.delivered =
        SlotWasWritten(first, lib.wide, kFirstSentinel) || SlotWasWritten(second, lib.wide, kSecondSentinel);
    reading.value = reading.delivered ? FormatSlot(second, lib.wide) : std::wstring();
}

} // namespace

void FetchValue(const DriverSession& session, ChannelReading& reading)
{
    if (reading.type != TypeNone) {
        FetchValueAs(session, reading);
        return;
    }
    for (std::uint32_t type : kGuessedTypes) {
        reading.type = type;
        FetchValueAs(session, reading);
        if (reading.delivered) return;
    }
    reading.type = TypeNone;
}
