#pragma once
// What the read and the write cycle share: the queue threaded through the channel records, taking the
// queue as a batch at its issue, judging the issuing call, and ending a batch. Everything here runs in
// the host's thread.

#include <atomic>
#include <cstdint>

#include <windows.h>

#include "driver/opc_driver.h"
#include "exchange/exchange_trace.h"

// One direction of exchange: the flags, channel fields, queue and messages it uses, and its texts.
struct BatchKind {
    std::uint32_t activeFlag;     // ReadActive / WriteActive
    std::uint32_t againFlag;      // ReadAgain / WriteAgain
    std::uint32_t queuedBit;      // InReadQueue / InWriteQueue
    std::uint32_t outstandingBit; // ReadOutstanding / WriteOutstanding
    std::uint32_t accessRight;    // OPC_READABLE / OPC_WRITEABLE
    std::uint32_t Channel::*status;
    Channel* Channel::*next;
    Channel* OpcDriver::*head;
    Channel* OpcDriver::*tail;
    std::uint32_t OpcDriver::*count;
    BatchState OpcDriver::*state;
    std::uint32_t OpcDriver::*syncNumber;                // the hand-off number the worker reads
    std::atomic<std::uint32_t> OpcDriver::*syncAnswered; // the number the worker has answered
    std::uint32_t* OpcDriver::*syncChannels;             // set while a batch is with the worker
    void (*fire)(OpcDriver& drv);                        // InputRequestCompleted / OutputRequestCompleted
    std::uint32_t issueMessage;                          // MsgIssueRead / MsgIssueWrite
    std::uint32_t notifyMessage;                         // MsgNotifyRead / MsgNotifyWrite
    std::uint32_t notifyKind; // the kind argument of the host's notification: 0 read, 1 write
    UINT_PTR timerId;         // the window timer of the batch limit
    TraceText itemRejected;   // the issuing call returned S_FALSE and refused this item
    TraceText callFailed;     // the issuing call failed as a whole
    TraceText itemFailed;     // the completion failed the item (or left it out)
    TraceText wrongDirection; // finalize on a channel without the access right
};

extern const BatchKind kReadBatch;
extern const BatchKind kWriteBatch;

// The channel covering number when a request of this direction may queue it: the server is up, Init
// succeeded, the channel exists and has the access right. Null otherwise.
Channel* RequestableChannel(OpcDriver& drv, const BatchKind& kind, std::uint32_t number);
// Appends the channel to the queue unless it is queued already. Constant time, never allocates.
void AppendToQueue(OpcDriver& drv, const BatchKind& kind, Channel& channel);

enum class IssueMode { None, Async, Sync };
// The mode in which the queued batch goes out now, or None: server down, Init not successful, no I/O
// interface, a batch outstanding (then the Again flag is set and the queue waits) or an empty queue.
IssueMode IssueModeNow(OpcDriver& drv, const BatchKind& kind);
// Takes the queue as the batch to issue: returns its channels in queue order (count of them, a block
// the caller passes to FinishIssue), empties the queue, moves each channel from queued to outstanding,
// gives the batch its number (the state's transactionId: 1, 2, ... never 0), marks the direction active
// and issuing, and enters the server-call scope that FinishIssue leaves (connection/supervision.h). A
// deferred issue already posted is served by this batch. Null, with nothing changed, when memory runs out.
Channel** TakeBatch(OpcDriver& drv, const BatchKind& kind, std::uint32_t& count);
// Ends the queue without a call to the server: every queued channel is finished with the status it holds,
// and the host's notification is posted as for a completed batch. Nothing without a queue.
void EndQueueAtOnce(OpcDriver& drv, const BatchKind& kind);
// The synchronous hand-off, after the caller stored the batch's arrays in the record: the channel
// number of each item into numbers (a new block), then event set for the worker. E_FAIL when the worker
// has ended, E_OUTOFMEMORY without a block; the caller then releases the batch, which nobody consumes.
HRESULT HandOffToWorker(OpcDriver& drv, Channel* const* batch, std::uint32_t count, std::uint32_t*& numbers,
                        HANDLE event);
// Judges the issuing call: with S_FALSE the items whose error is not S_OK fail, with any result but
// S_OK and S_FALSE (or S_FALSE without errors) every item fails. When no completion can follow, the
// direction is no longer active and the batch is over without a notification (a batch fired meanwhile
// still goes out); otherwise a completion that came during the call ends the batch now. Frees batch (the
// block of TakeBatch) and errors (CoTaskMemFree), then leaves the server-call scope: the record may be
// gone on return (a DisposeDriver asked for inside the call), so the caller touches nothing of it.
void FinishIssue(OpcDriver& drv, const BatchKind& kind, Channel**& batch, std::uint32_t count, HRESULT hr,
                 HRESULT* errors);

// Arms the direction's limit (the file's batch_timeout, exchange/batch_timeout.h) for the batch just
// issued: its deadline, and the window timer.
void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind);
// Disarms it; harmless when it is not armed.
void StopBatchTimeout(OpcDriver& drv, const BatchKind& kind);

// True when an asynchronous completion may be applied: the direction is active and the transaction id
// is the outstanding batch's (a late answer to an earlier batch must not end this one).
bool AcceptsCompletion(const OpcDriver& drv, const BatchKind& kind, DWORD transactionId);
// Clears the channel's outstanding bit; false when it was not set (the result is not for this batch).
bool TakeOutstanding(OpcDriver& drv, const BatchKind& kind, Channel& channel);
// Records the channel's outcome; a failure is traced with text.
void SetChannelFailed(OpcDriver& drv, const BatchKind& kind, Channel& channel, TraceText text);
// A completion has applied its items: the batch ends now, or when the issue still running returns.
void CompleteBatch(OpcDriver& drv, const BatchKind& kind);
// Ends the active batch: every channel still outstanding fails, the direction is no longer active, the
// host's notification is posted and then, if another batch was fired meanwhile, its issue. A timer
// that gives up on a batch the server never answers can end it the same way.
void EndBatch(OpcDriver& drv, const BatchKind& kind);
// The exchange's steps of the supervision (connection/supervision.h), which alone calls them through the
// record (driver/message_table.cpp gives them to it).
// The server is lost or dropped: each direction with a batch outstanding is no longer active, its
// deferred batch is dropped, and the host is notified once for it.
void EndBatchesOfLostServer(OpcDriver& drv);
// After a recovery: no value, quality, timestamp or status from before the loss survives, and nothing
// queued then is sent; every channel is as after Init.
void ResetExchange(OpcDriver& drv);

// The guards and handlers of the direction's messages (their rows are in driver/message_table.cpp).
// The issue of a deferred batch: wParam is the number EndBatch posted, and no batch has gone out since.
bool IssueAwaited(const OpcDriver& drv, const BatchKind& kind, WPARAM wParam);
void IssueDeferredBatch(OpcDriver& drv, const BatchKind& kind);
// The worker's answer: wParam is the number of the batch outstanding with the worker, and the worker has
// stored its answer to that very number.
bool SyncAnswerAwaited(const OpcDriver& drv, const BatchKind& kind, WPARAM wParam);
// The host's notification: wParam is the number of the next one owed.
bool NotificationAwaited(const OpcDriver& drv, const BatchKind& kind, WPARAM wParam);
// Calls the host's notification for a finished batch. It is the last use of the record: the host may
// end the instance inside it.
void DeliverNotification(OpcDriver& drv, const BatchKind& kind, WPARAM wParam);
// Posts again every notification owed, after one was held back inside a server call; copies still in
// the queue are dropped by the guard, which takes each number once and in order.
void RepostNotifications(OpcDriver& drv, const BatchKind& kind);

// True with *status for a channel whose batch is over; false while it is queued or outstanding, or
// when status is null.
bool Finalized(OpcDriver& drv, const BatchKind& kind, std::uint32_t number, std::uint32_t* status);
