// A new message or timer of the window is one more row here: its value (and timer id), its owner, a
// guard that is true only for the message the owner waits for now (the window is top level: any
// program may post or broadcast anything to it), the handler, and whether it must wait until the
// instance is out of its own server calls.

#include "driver/message_table.h"

#include "connection/change_inbox.h"
#include "connection/keep_alive.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/supervision.h"
#include "driver/opc_driver.h"
#include "exchange/batch.h"
#include "exchange/batch_timeout.h"
#include "exchange/read_cycle.h"
#include "exchange/subscription.h"
#include "exchange/write_cycle.h"

namespace {

constexpr char kReadOwner[] = "exchange/read";
constexpr char kWriteOwner[] = "exchange/write";
constexpr char kSupervisionOwner[] = "connection/supervision";

const MessageRoute kRoutes[] = {
    // The issue of a batch fired while one was outstanding; wParam: the number of the batch that ended.
    {MsgIssueRead, 0, kReadOwner, [](const OpcDriver& d, WPARAM w) { return IssueAwaited(d, kReadBatch, w); },
     [](OpcDriver& d, WPARAM) { IssueDeferredBatch(d, kReadBatch); }, nullptr},
    {MsgIssueWrite, 0, kWriteOwner,
     [](const OpcDriver& d, WPARAM w) { return IssueAwaited(d, kWriteBatch, w); },
     [](OpcDriver& d, WPARAM) { IssueDeferredBatch(d, kWriteBatch); }, nullptr},
    // The worker's answer; wParam: the number of the batch handed to it.
    {MsgSyncReadDone, 0, kReadOwner,
     [](const OpcDriver& d, WPARAM w) { return SyncAnswerAwaited(d, kReadBatch, w); },
     [](OpcDriver& d, WPARAM) { SyncReadComplete(d); }, nullptr},
    {MsgSyncWriteDone, 0, kWriteOwner,
     [](const OpcDriver& d, WPARAM w) { return SyncAnswerAwaited(d, kWriteBatch, w); },
     [](OpcDriver& d, WPARAM) { SyncWriteComplete(d); }, nullptr},
    // The server's shutdown notice, posted once by the shutdown sink; wParam 0. Inside a server call it
    // waits: the call's own completion may still end its batch, and the connection must not go from
    // under the call.
    {MsgServerShutdown, 0, kSupervisionOwner,
     [](const OpcDriver& d, WPARAM) { return ShutdownNoticeAwaited(d); },
     [](OpcDriver& d, WPARAM) { Supervise(d, SupervisionEvent::ShutdownNotice); }, RepostShutdownNotice},
    // The host's notification; wParam: the direction's notification number. Never inside a server call:
    // the host may end the instance from its callback.
    {MsgNotifyRead, 0, kReadOwner,
     [](const OpcDriver& d, WPARAM w) { return NotificationAwaited(d, kReadBatch, w); },
     [](OpcDriver& d, WPARAM w) { DeliverNotification(d, kReadBatch, w); },
     [](OpcDriver& d) { RepostNotifications(d, kReadBatch); }},
    {MsgNotifyWrite, 0, kWriteOwner,
     [](const OpcDriver& d, WPARAM w) { return NotificationAwaited(d, kWriteBatch, w); },
     [](OpcDriver& d, WPARAM w) { DeliverNotification(d, kWriteBatch, w); },
     [](OpcDriver& d) { RepostNotifications(d, kWriteBatch); }},
    // The limit on a batch (batch_timeout); the timer ids are the directions' issue messages. The deadline
    // in the record decides, not the message: anyone can post a WM_TIMER.
    {WM_TIMER, MsgIssueRead, kReadOwner,
     [](const OpcDriver& d, WPARAM) { return BatchTimeoutDue(d, kReadBatch); },
     [](OpcDriver& d, WPARAM) { OnBatchTimeout(d, kReadBatch); }, nullptr},
    {WM_TIMER, MsgIssueWrite, kWriteOwner,
     [](const OpcDriver& d, WPARAM) { return BatchTimeoutDue(d, kWriteBatch); },
     [](OpcDriver& d, WPARAM) { OnBatchTimeout(d, kWriteBatch); }, nullptr},
    // Recovery (`reconnect`): the timer of the next attempt, decided by the deadline in the record.
    {WM_TIMER, kReconnectTimerId, kSupervisionOwner,
     [](const OpcDriver& d, WPARAM) { return ReconnectDue(d); },
     [](OpcDriver& d, WPARAM) { Supervise(d, SupervisionEvent::ReconnectDue); }, nullptr},
    // The attempt's probe thread or worker has answered; wParam: the attempt's number.
    {MsgAttemptDone, 0, kSupervisionOwner, [](const OpcDriver& d, WPARAM w) { return AttemptAnswered(d, w); },
     [](OpcDriver& d, WPARAM) { Supervise(d, SupervisionEvent::AttemptAnswered); }, nullptr},
    // Subscribe: data changes the worker queued for the host's thread (wParam 0); the handler takes
    // whatever waits, so a stray message changes nothing.
    {MsgDataChange, 0, kReadOwner, [](const OpcDriver& d, WPARAM) { return ChangesAwaited(d); },
     [](OpcDriver& d, WPARAM) { ApplyQueuedChanges(d); }, nullptr},
    // Subscribe: the status query after a silence, and its limit; the handler looks at the time.
    {WM_TIMER, kKeepAliveTimerId, kSupervisionOwner,
     [](const OpcDriver& d, WPARAM) { return KeepAliveTimerAwaited(d); },
     [](OpcDriver& d, WPARAM) { OnKeepAliveTimer(d); }, nullptr},
    // The worker's answer to the status query; wParam: the query's number.
    {MsgKeepAliveDone, 0, kSupervisionOwner,
     [](const OpcDriver& d, WPARAM w) { return KeepAliveAnswerAwaited(d, w); },
     [](OpcDriver& d, WPARAM) { OnKeepAliveAnswer(d); }, nullptr},
};

constexpr std::uint32_t kRouteCount = sizeof(kRoutes) / sizeof(kRoutes[0]);
// The window holds back rows by a bit each.
static_assert(kRouteCount <= 32, "one bit per row in OpcDriver::deferredRoutes");

} // namespace

extern const MessageTable kMessageTable = {kRoutes, kRouteCount};
extern const ExchangeSteps kExchangeSteps = {EndBatchesOfLostServer, ResetExchange, ApplyQueuedChanges};
