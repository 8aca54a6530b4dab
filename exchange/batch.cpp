#include "exchange/batch.h"

#include <initializer_list>

#include <objbase.h>

#include "connection/keep_alive.h"
#include "connection/message_window.h"
#include "connection/supervision.h"
#include "connection/worker.h"
#include "hostrt/core.h"

namespace {

BatchState& StateOf(OpcDriver& drv, const BatchKind& kind)
{
    return drv.*kind.state;
}

void ClearOutstanding(OpcDriver& drv, const BatchKind& kind, Channel& channel)
{
    channel.channelFlags &= ~kind.outstandingBit;
    BatchState& state = StateOf(drv, kind);
    if (state.outstanding > 0) --state.outstanding;
}

// Fails whatever the batch left outstanding: items a completion did not name, or named twice while
// leaving others out. Only one batch per direction exists, so every outstanding channel is its own.
void FailLeftovers(OpcDriver& drv, const BatchKind& kind)
{
    OrderedItem* item = nullptr;
    bool more = drv.channels.First(&item);
    while (more && StateOf(drv, kind).outstanding > 0) {
        Channel& channel = *static_cast<Channel*>(item);
        if (TakeOutstanding(drv, kind, channel)) SetChannelFailed(drv, kind, channel, kind.itemFailed);
        more = drv.channels.Next(item, &item);
    }
    StateOf(drv, kind).outstanding = 0;
}

std::uint32_t NextNumber(std::uint32_t number)
{
    return number + 1 == 0 ? 1 : number + 1;
}

void PostNotification(OpcDriver& drv, const BatchKind& kind)
{
    BatchState& state = StateOf(drv, kind);
    std::uint32_t number = state.notesPosted + 1;
    // Counted only once posted: a number that never arrives would hold back every later one.
    if (PostToWindow(drv, kind.notifyMessage, number)) state.notesPosted = number;
}

// A batch fired while this one was outstanding goes out now, through the window.
void OfferDeferredBatch(OpcDriver& drv, const BatchKind& kind)
{
    if (!HasFlag(drv, kind.againFlag)) return;
    ClearFlag(drv, kind.againFlag);
    BatchState& state = StateOf(drv, kind);
    if (PostToWindow(drv, kind.issueMessage, state.transactionId)) state.issuePosted = state.transactionId;
}

} // namespace

Channel* RequestableChannel(OpcDriver& drv, const BatchKind& kind, std::uint32_t number)
{
    if (IsServerDown(drv) || !drv.ready) return nullptr;
    Channel* channel = LookUpChannel(drv.channelIndex, number);
    if (channel == nullptr || (channel->accessRights & kind.accessRight) == 0) return nullptr;
    return channel;
}

void AppendToQueue(OpcDriver& drv, const BatchKind& kind, Channel& channel)
{
    if ((channel.channelFlags & kind.queuedBit) != 0) return;
    channel.channelFlags |= kind.queuedBit;
    channel.*kind.next = nullptr;
    Channel*& tail = drv.*kind.tail;
    if (drv.*kind.head == nullptr) {
        drv.*kind.head = &channel;
    } else {
        tail->*kind.next = &channel;
    }
    tail = &channel;
    ++(drv.*kind.count);
}

IssueMode IssueModeNow(OpcDriver& drv, const BatchKind& kind)
{
    if (IsServerDown(drv) || !drv.ready) return IssueMode::None;
    IssueMode mode = HasFlag(drv, ThreadMode) ? IssueMode::Sync
                     : drv.asyncIo != nullptr ? IssueMode::Async
                                              : IssueMode::None;
    if (mode == IssueMode::None) return mode;
    if (HasFlag(drv, kind.activeFlag)) {
        SetFlag(drv, kind.againFlag);
        return IssueMode::None;
    }
    return drv.*kind.count == 0 ? IssueMode::None : mode;
}

Channel** TakeBatch(OpcDriver& drv, const BatchKind& kind, std::uint32_t& count)
{
    // The batch is copied out and the queue emptied before the server is called: a completion that
    // arrives inside the call may make the host queue channels again, and those belong to the next batch.
    count = drv.*kind.count;
    Channel** batch = nullptr;
    if (!AllocBlock(batch, count * sizeof(Channel*))) return nullptr;
    Channel* channel = drv.*kind.head;
    for (std::uint32_t i = 0; i < count; ++i) {
        batch[i] = channel;
        channel = channel->*kind.next;
        batch[i]->*kind.next = nullptr;
        batch[i]->channelFlags = (batch[i]->channelFlags & ~kind.queuedBit) | kind.outstandingBit;
    }
    drv.*kind.head = nullptr;
    drv.*kind.tail = nullptr;
    drv.*kind.count = 0;
    BatchState& state = StateOf(drv, kind);
    state.transactionId = NextNumber(state.transactionId);
    state.issuePosted = 0;
    state.outstanding = count;
    state.issuing = true;
    state.completionHeld = false;
    SetFlag(drv, kind.activeFlag);
    NoteServerCall(drv);
    EnterServerCall(drv);
    return batch;
}

void EndQueueAtOnce(OpcDriver& drv, const BatchKind& kind)
{
    if (drv.*kind.count == 0) return;
    for (Channel* channel = drv.*kind.head; channel != nullptr;) {
        Channel* next = channel->*kind.next;
        channel->*kind.next = nullptr;
        channel->channelFlags &= ~kind.queuedBit;
        channel = next;
    }
    drv.*kind.head = nullptr;
    drv.*kind.tail = nullptr;
    drv.*kind.count = 0;
    PostNotification(drv, kind);
}

HRESULT HandOffToWorker(OpcDriver& drv, Channel* const* batch, std::uint32_t count, std::uint32_t*& numbers,
                        HANDLE event)
{
    if (!AllocBlock(numbers, count * sizeof(std::uint32_t))) return E_OUTOFMEMORY;
    for (std::uint32_t i = 0; i < count; ++i)
        numbers[i] = batch[i]->firstNumber;
    if (!WorkerAlive(drv)) return E_FAIL;
    return SignalWorker(drv, event) ? S_OK : E_FAIL;
}

void FinishIssue(OpcDriver& drv, const BatchKind& kind, Channel**& batch, std::uint32_t count, HRESULT hr,
                 HRESULT* errors)
{
    if (hr == S_FALSE && errors == nullptr) hr = E_FAIL; // a server that refuses items must say which
    bool accepted = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        Channel& channel = *batch[i];
        if (hr == S_OK || (hr == S_FALSE && errors[i] == S_OK)) {
            accepted = true;
            continue;
        }
        // A completion inside the call may have finished this channel already; it fails all the same.
        if ((channel.channelFlags & kind.outstandingBit) != 0) ClearOutstanding(drv, kind, channel);
        SetChannelFailed(drv, kind, channel, hr == S_FALSE ? kind.itemRejected : kind.callFailed);
    }
    if (errors != nullptr) CoTaskMemFree(errors);
    FreeBlock(batch);
    BatchState& state = StateOf(drv, kind);
    state.issuing = false;
    if (!accepted) {
        // No completion will come: the batch is over on return, and the host is not notified, unless
        // the worker was given up: a host that fires batch after batch then hears of each one.
        state.completionHeld = false;
        state.outstanding = 0;
        ClearFlag(drv, kind.activeFlag);
        if (ConnectionDropped(drv)) PostNotification(drv, kind);
        OfferDeferredBatch(drv, kind);
    } else if (state.completionHeld) {
        state.completionHeld = false;
        EndBatch(drv, kind);
    } else {
        // Neither a completion nor the worker's answer can be relied on to come.
        StartBatchTimeout(drv, kind);
    }
    // Inside this issue's own server call: a loss is carried out when the call is left.
    if (!accepted) JudgeServerResult(drv, hr);
    LeaveServerCall(drv);
}

void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    BatchState& state = drv.*kind.state;
    state.timerArmed = true;
    state.timerDeadline = Ticks64() + drv.batchTimeoutMs;
    StartDeadlineTimer(drv, kind.timerId, drv.batchTimeoutMs);
}

void StopBatchTimeout(OpcDriver& drv, const BatchKind& kind)
{
    (drv.*kind.state).timerArmed = false;
    StopWindowTimer(drv, kind.timerId);
}

bool AcceptsCompletion(const OpcDriver& drv, const BatchKind& kind, DWORD transactionId)
{
    return HasFlag(drv, kind.activeFlag) && transactionId == (drv.*kind.state).transactionId;
}

bool TakeOutstanding(OpcDriver& drv, const BatchKind& kind, Channel& channel)
{
    if ((channel.channelFlags & kind.outstandingBit) == 0) return false;
    ClearOutstanding(drv, kind, channel);
    return true;
}

void SetChannelFailed(OpcDriver& drv, const BatchKind& kind, Channel& channel, TraceText text)
{
    channel.*kind.status = StatusFailed;
    TraceLine(drv, &channel, text);
}

void CompleteBatch(OpcDriver& drv, const BatchKind& kind)
{
    BatchState& state = StateOf(drv, kind);
    if (state.issuing) {
        state.completionHeld = true;
        return;
    }
    EndBatch(drv, kind);
}

void EndBatch(OpcDriver& drv, const BatchKind& kind)
{
    StopBatchTimeout(drv, kind);
    if (StateOf(drv, kind).outstanding > 0) FailLeftovers(drv, kind);
    ClearFlag(drv, kind.activeFlag);
    // The notification goes first, so the host hears of this batch before a deferred one is issued; both
    // are delivered by the window procedure, never inside the server's incoming call.
    PostNotification(drv, kind);
    OfferDeferredBatch(drv, kind);
}

void EndBatchesOfLostServer(OpcDriver& drv)
{
    for (const BatchKind* kind : {&kReadBatch, &kWriteBatch}) {
        std::uint32_t before = drv.flags.fetch_and(~(kind->activeFlag | kind->againFlag));
        StateOf(drv, *kind).issuePosted = 0;
        StopBatchTimeout(drv, *kind);
        if ((before & kind->activeFlag) != 0) PostNotification(drv, *kind);
    }
}

void ResetExchange(OpcDriver& drv)
{
    OrderedItem* item = nullptr;
    for (bool more = drv.channels.First(&item); more; more = drv.channels.Next(item, &item)) {
        Channel& channel = *static_cast<Channel*>(item);
        channel.channelFlags = 0;
        channel.nextRead = nullptr;
        channel.nextWrite = nullptr;
        ReleaseValue(channel.value);
        channel.value = HostValue{TypeNone, {}};
        for (std::uint32_t i = 0; i < channel.count; ++i) {
            ReleaseValue(channel.elements[i]);
            channel.elements[i] = HostValue{TypeNone, {}};
        }
        channel.quality = 0;
        channel.timestamp = HostTimestamp{};
        channel.readStatus = StatusFailed;
        channel.writeStatus = StatusFailed;
    }
    for (const BatchKind* kind : {&kReadBatch, &kWriteBatch}) {
        drv.*kind->head = nullptr;
        drv.*kind->tail = nullptr;
        drv.*kind->count = 0;
        BatchState& state = StateOf(drv, *kind);
        // The numbers of batches and notifications go on: a late message of before the loss stays stale.
        state.issuing = false;
        state.completionHeld = false;
        state.outstanding = 0;
        state.issuePosted = 0;
        StopBatchTimeout(drv, *kind);
        ClearFlag(drv, kind->activeFlag | kind->againFlag);
    }
}

bool IssueAwaited(const OpcDriver& drv, const BatchKind& kind, WPARAM wParam)
{
    std::uint32_t posted = (drv.*kind.state).issuePosted;
    return posted != 0 && wParam == posted;
}

void IssueDeferredBatch(OpcDriver& drv, const BatchKind& kind)
{
    StateOf(drv, kind).issuePosted = 0;
    kind.fire(drv);
}

bool SyncAnswerAwaited(const OpcDriver& drv, const BatchKind& kind, WPARAM wParam)
{
    if (IsServerDown(drv) || !HasFlag(drv, ThreadMode) || !HasFlag(drv, kind.activeFlag)) return false;
    if (drv.*kind.syncChannels == nullptr || wParam != (drv.*kind.state).transactionId) return false;
    // The acquire pairs with the worker's release: its results are visible once the numbers match.
    return (drv.*kind.syncAnswered).load(std::memory_order_acquire) == wParam;
}

bool NotificationAwaited(const OpcDriver& drv, const BatchKind& kind, WPARAM wParam)
{
    const BatchState& state = drv.*kind.state;
    return state.notesDelivered != state.notesPosted && wParam == state.notesDelivered + 1;
}

void DeliverNotification(OpcDriver& drv, const BatchKind& kind, WPARAM wParam)
{
    StateOf(drv, kind).notesDelivered = static_cast<std::uint32_t>(wParam);
    auto notify = drv.notify;
    std::uint32_t userData = drv.userData;
    if (notify != nullptr) notify(userData, kind.notifyKind, 0);
}

void RepostNotifications(OpcDriver& drv, const BatchKind& kind)
{
    const BatchState& state = StateOf(drv, kind);
    for (std::uint32_t number = state.notesDelivered; number != state.notesPosted;)
        PostToWindow(drv, kind.notifyMessage, ++number);
}

bool Finalized(OpcDriver& drv, const BatchKind& kind, std::uint32_t number, std::uint32_t* status)
{
    if (status == nullptr) return false;
    if (IsServerDown(drv)) {
        *status = StatusServerDown;
        return true;
    }
    if (!drv.ready) {
        *status = StatusFailed;
        return true;
    }
    Channel* channel = LookUpChannel(drv.channelIndex, number);
    if (channel == nullptr) {
        *status = StatusNoChannel;
        return true;
    }
    if ((channel->accessRights & kind.accessRight) == 0) {
        *status = StatusWrongDirection;
        TraceLine(drv, channel, kind.wrongDirection);
        return true;
    }
    if ((channel->channelFlags & (kind.queuedBit | kind.outstandingBit)) != 0) return false;
    *status = channel->*kind.status;
    return true;
}
