#include "tests/unit/connection/supervision_invariants.h"

#include "connection/supervision.h"
#include "driver/opc_driver.h"

namespace {

bool HoldsNoInterface(const OpcDriver& drv)
{
    return drv.server == nullptr && drv.serverPoints == nullptr && drv.shutdownPoint == nullptr &&
           drv.itemMgt == nullptr && drv.syncIo == nullptr && drv.asyncIo == nullptr &&
           drv.groupPoints == nullptr && drv.dataPoint == nullptr;
}

// The first invariant of the state that does not hold, or null.
const char* BrokenInvariant(const OpcDriver& drv)
{
    const Supervision& s = drv.supervision;
    switch (s.state) {
    case LinkState::Connected:
        return IsServerDown(drv) && !ShutdownNoticeAwaited(drv) ? "connected while the server is down"
                                                                : nullptr;
    case LinkState::Lost:
        if (!ReconnectEnabled(drv)) return "lost without reconnect";
        if (!IsServerDown(drv)) return "lost without ServerDown";
        if (!drv.ready) return "lost before Init succeeded";
        if (!HoldsNoInterface(drv)) return "lost while holding an interface of the connection";
        return s.attemptDeadline == 0 ? "lost without the next attempt's deadline" : nullptr;
    case LinkState::Attempting:
        if (!ReconnectEnabled(drv)) return "attempting without reconnect";
        if (!IsServerDown(drv)) return "attempting without ServerDown";
        return s.attempts == 0 ? "attempting without an attempt's number" : nullptr;
    case LinkState::Dropped:
        if (ReconnectEnabled(drv)) return "dropped with reconnect";
        return HoldsNoInterface(drv) ? nullptr : "dropped while holding an interface of the connection";
    case LinkState::Ended:
        if (drv.window != nullptr) return "ended with a window";
        return drv.shutdownSink.owner.load() != nullptr || drv.dataSink.owner.load() != nullptr
                   ? "ended while a sink still has its owner"
                   : nullptr;
    }
    return "no such state";
}

} // namespace

::testing::AssertionResult SupervisionInvariantsHold(const OpcDriver& drv)
{
    const char* broken = BrokenInvariant(drv);
    if (broken == nullptr) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << broken << " (state " << static_cast<int>(drv.supervision.state) << ")";
}
