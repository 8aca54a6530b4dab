#include "tests/torture/host_plan.h"

#include <algorithm>

namespace {

// Seconds as the parameter file writes them (milliseconds are exact with three decimals).
std::string Seconds(std::uint32_t ms)
{
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    return std::to_string(ms / 1000) + "." + fraction;
}

} // namespace

HostPlan DrawRecoveryKeys(Draw& draw)
{
    HostPlan plan;
    plan.reconnectMs = Between(draw, 1, 5) * 100;
    plan.batchTimeoutMs = Between(draw, 8, 20) * 100;
    plan.instances = Chance(draw, 30) ? 2 : 1;
    plan.faultPhaseMs = Between(draw, 3000, 6000);
    return plan;
}

void DrawHostActions(Draw& draw, HostPlan& plan)
{
    std::uint32_t count = Between(draw, 4, 14);
    for (std::uint32_t i = 0; i < count; ++i) {
        HostAction action;
        action.atMs = Below(draw, plan.faultPhaseMs);
        action.instance = Below(draw, plan.instances);
        std::uint32_t kind = Below(draw, 100);
        action.kind = kind < 50   ? ActionKind::Read
                      : kind < 88 ? ActionKind::Write
                      : kind < 94 ? ActionKind::Done
                                  : ActionKind::DoneInNotification;
        action.withRamp = Chance(draw, 80);
        action.withTarget = !action.withRamp || Chance(draw, 40);
        plan.actions.push_back(action);
    }
    std::stable_sort(plan.actions.begin(), plan.actions.end(),
                     [](const HostAction& a, const HostAction& b) { return a.atMs < b.atMs; });
}

void DrawSubscription(Draw& draw, HostPlan& plan)
{
    plan.subscribe = Chance(draw, 50);
    plan.updateRateMs = plan.subscribe ? Between(draw, 1, 4) * 50 : 0;
}

std::string ServerLines(const HostPlan& plan, Mode mode, bool waitRunning)
{
    std::string lines = "debug = yes\n" + ModeLines(mode);
    lines += "reconnect = " + Seconds(plan.reconnectMs) +
             "\nbatch_timeout = " + Seconds(plan.batchTimeoutMs) + "\n";
    if (waitRunning) lines += "wait_running = yes\n";
    if (plan.subscribe) lines += "subscribe = yes\nupdate_rate = " + Seconds(plan.updateRateMs) + "\n";
    return lines;
}

std::string ActionText(const HostAction& action)
{
    std::string what = action.kind == ActionKind::Read    ? "read"
                       : action.kind == ActionKind::Write ? "write"
                       : action.kind == ActionKind::Done  ? "Done"
                                                          : "Done inside its next notification";
    if (action.kind == ActionKind::Read)
        what += std::string(action.withRamp ? " ramp" : "") + (action.withTarget ? " target" : "");
    return "t=" + std::to_string(action.atMs) + "ms instance " + std::to_string(action.instance) + ": " +
           what;
}
