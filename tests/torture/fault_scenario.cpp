#include "tests/torture/fault_scenario.h"

#include "tests/torture/torture_items.h"

namespace {

enum class Completions { Posted, Reentrant, Thread };

const char* CompletionsName(Completions completions)
{
    switch (completions) {
    case Completions::Reentrant:
        return "reentrant";
    case Completions::Thread:
        return "thread";
    default:
        return "posted";
    }
}

// The call or completion of one direction that a fault aims at.
const char* ExchangeCall(Draw& draw, Mode mode)
{
    bool write = Chance(draw, 50);
    return write ? WriteCall(mode) : ReadCall(mode);
}

const char* Completion(Draw& draw)
{
    return Chance(draw, 50) ? "OnWriteComplete" : "OnReadComplete";
}

std::string Line(const std::string& text)
{
    return "behaviour " + text + "\n";
}

// A server that ends inside the n-th exchange call or completion.
std::string EndInCall(Draw& draw, Mode mode)
{
    const char* call = mode == Mode::Async && Chance(draw, 30) ? Completion(draw) : ExchangeCall(draw, mode);
    return Line("exit " + std::string(call) + " " + std::to_string(Between(draw, 1, 4)));
}

// A call that never returns, or a completion that is never sent. Only where the host's thread does
// not wait for it: a hung asynchronous call, or a completion sent inside it, would block the host for
// as long as the process lives, which the driver documents and cannot bound.
std::string Hang(Draw& draw, Mode mode, Completions completions)
{
    if (mode == Mode::Sync)
        return Line("hang " + std::string(ExchangeCall(draw, mode)) + " " +
                    std::to_string(Between(draw, 1, 3)));
    if (completions != Completions::Posted) return "";
    return Line("hang " + std::string(Completion(draw)) + " " + std::to_string(Between(draw, 1, 3)));
}

// A wait around the batch limit (answered just in time, or just too late), or a short wait of an
// asynchronous call that blocks the host's thread.
std::string Delay(Draw& draw, Mode mode, Completions completions, std::uint32_t batchTimeoutMs,
                  FaultScenario& faults)
{
    std::uint32_t nearLimit = Between(draw, batchTimeoutMs / 2, batchTimeoutMs * 3 / 2);
    if (mode == Mode::Sync)
        return Line("delay " + std::string(ExchangeCall(draw, mode)) + " " + std::to_string(nearLimit));
    if (Chance(draw, 40)) {
        std::uint32_t shortWait = Between(draw, 50, 400);
        faults.hostThreadDelayMs += shortWait;
        return Line("delay " + std::string(ExchangeCall(draw, mode)) + " " + std::to_string(shortWait));
    }
    if (completions != Completions::Posted) faults.hostThreadDelayMs += nearLimit;
    return Line("delay " + std::string(Completion(draw)) + " " + std::to_string(nearLimit));
}

} // namespace

FaultScenario DrawFaultScenario(Draw& draw, Mode mode, std::uint32_t batchTimeoutMs)
{
    FaultScenario faults;
    Completions completions = Completions::Posted;
    if (mode == Mode::Async && Chance(draw, 40))
        completions = Chance(draw, 50) ? Completions::Reentrant : Completions::Thread;
    if (completions != Completions::Posted)
        faults.behaviours += Line(std::string("completions ") + CompletionsName(completions));
    std::uint32_t count = Between(draw, 1, 3);
    bool hangs = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        // No crash: Wine keeps the class of a crashed process registered, so no server could start again
        // under the CLSID and no recovery could be expected; an exit inside the call fails it the same way.
        switch (Below(draw, 4)) {
        case 0:
            faults.behaviours += EndInCall(draw, mode);
            break;
        case 1:
            // One hang at most: a process with two calls hung at once did not end after its notice.
            if (hangs) break;
            hangs = true;
            faults.behaviours += Hang(draw, mode, completions);
            break;
        case 2:
            faults.behaviours += Delay(draw, mode, completions, batchTimeoutMs, faults);
            break;
        default:
            if (faults.notConfiguredFirst) break;
            faults.notConfiguredFirst = true;
            faults.behaviours +=
                Line("status NOCONFIG:" + std::to_string(Between(draw, 200, 600)) + "ms RUNNING");
        }
    }
    // Every faulty process ends by itself: the notice first, at a random moment of the exchange, then
    // its exit, so that COM starts the next process from the scenario file as it is then.
    faults.lifeMs = Between(draw, 1200, 3500);
    faults.exitAfterNoticeMs = Between(draw, 50, 600);
    faults.behaviours += Line("shutdown after=" + std::to_string(faults.lifeMs) + "ms reason=torture");
    faults.behaviours += Line("exit-after-shutdown " + std::to_string(faults.exitAfterNoticeMs));
    return faults;
}

std::string ScenarioText(const std::string& behaviours)
{
    return std::string(kTortureItems) + behaviours;
}

std::uint32_t FaultyProcessLifeMs(const FaultScenario& faults)
{
    return kServerLaunchMs + faults.lifeMs + faults.exitAfterNoticeMs;
}
