#pragma once
// What an episode's host does: its recovery keys, how many instances it runs on the one server, and
// the actions of the fault phase at their moments (read and write batches, Done at any moment).

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/e2e_host.h"
#include "tests/torture/draw.h"

// DoneInNotification: the host calls Done from inside the instance's next notification, that is from
// inside the instance's own window procedure.
enum class ActionKind { Read, Write, Done, DoneInNotification };

struct HostAction {
    std::uint32_t atMs = 0; // from the start of the fault phase
    std::uint32_t instance = 0;
    ActionKind kind = ActionKind::Read;
    bool withRamp = true; // a read batch's channels: the ramp, the written item, or both
    bool withTarget = false;
};

struct HostPlan {
    std::uint32_t reconnectMs = 0;
    std::uint32_t batchTimeoutMs = 0;
    std::uint32_t instances = 1;
    std::uint32_t faultPhaseMs = 0;
    std::vector<HostAction> actions; // in time order
    // subscribe: read batches answered from the server's data changes at this update rate.
    bool subscribe = false;
    std::uint32_t updateRateMs = 0;
};

// The recovery keys first: the faults drawn next depend on the batch limit.
HostPlan DrawRecoveryKeys(Draw& draw);
void DrawHostActions(Draw& draw, HostPlan& plan);
// Drawn last, so that a seed draws everything else as it did before subscriptions existed.
void DrawSubscription(Draw& draw, HostPlan& plan);
// The [server] lines of an instance's parameter file.
std::string ServerLines(const HostPlan& plan, Mode mode, bool waitRunning);
std::string ActionText(const HostAction& action);
