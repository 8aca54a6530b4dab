#pragma once
// Every instance owns one hidden window in the host's thread: whatever must reach that thread from
// elsewhere (the worker's completions, the server's shutdown notice, deferred batches, notifications,
// the batch timers) arrives there as a posted message or a timer. This file is the mechanism only: the
// class, the window, posting, and a window procedure that routes each message through the instance's
// table of rows (driver/message_table.cpp), where every message has its owner, guard and handler.
//
// The window is top level, so it also receives what any program posts or broadcasts. Every message the
// driver posts to itself therefore names in wParam what it belongs to (a batch number, a notification
// number), and a row's guard lets through only the message its owner waits for; everything else is
// dropped without effect.

#include <cstdint>

#include <windows.h>

struct OpcDriver;

constexpr std::uint32_t MsgIssueRead = 1025;
constexpr std::uint32_t MsgIssueWrite = 1026;
constexpr std::uint32_t MsgSyncReadDone = 1027;
constexpr std::uint32_t MsgSyncWriteDone = 1028;
constexpr std::uint32_t MsgServerShutdown = 1029;
// The host's notification of a finished batch, delivered from the window rather than from inside the
// server's callback (a host that fires the next batch from its callback must not nest inside COM).
constexpr std::uint32_t MsgNotifyRead = 1030;
constexpr std::uint32_t MsgNotifyWrite = 1031;

// One row of an instance's message table. A WM_TIMER row names its timer; every other row has timerId 0.
struct MessageRoute {
    std::uint32_t message;
    UINT_PTR timerId;
    const char* owner; // the file whose handler this is, for the reader and for test failures
    // True only for the message the owner waits for now; a const look at the instance.
    bool (*accepts)(const OpcDriver& drv, WPARAM wParam);
    void (*handle)(OpcDriver& drv, WPARAM wParam);
    // Non-null for a message that must not run while the instance is inside one of its own server calls
    // (COM's modal loop may dispatch it there): it is held back, and this posts again what it stood for
    // once the outermost call has returned.
    void (*repost)(OpcDriver& drv);
};

struct MessageTable {
    const MessageRoute* routes;
    std::uint32_t count;
};

// Process attach and detach: the module handle and the process-wide window class.
void RecordModuleInstance(void* moduleInstance);
void UnregisterWindowClass();

// Creates the instance's window (registering the process-wide class first when needed) and stores the
// instance in its user data. False when no window could be made: nothing would ever reach the instance.
bool CreateDriverWindow(OpcDriver& drv);
// Takes the window from the instance (window becomes null at once, so a worker posts nothing more to
// it) and destroys it; safe to repeat.
void DestroyDriverWindow(OpcDriver& drv);
// Posts message with wParam (lParam 0) to the instance's window; false when it has none or the post
// fails. Safe from any thread.
bool PostToWindow(OpcDriver& drv, std::uint32_t message, WPARAM wParam);
// Starts (or restarts) and stops a timer of the instance's window; harmless without a window.
void StartWindowTimer(OpcDriver& drv, UINT_PTR timerId, std::uint32_t ms);
void StopWindowTimer(OpcDriver& drv, UINT_PTR timerId);
// The window timer of a deadline ms from now: it runs kTimerSlackMs past the deadline, so that its
// expiry finds the deadline passed even when the tick count lags the timer's own clock.
constexpr std::uint32_t kTimerSlackMs = 100;
void StartDeadlineTimer(OpcDriver& drv, UINT_PTR timerId, std::uint32_t ms);
// Posts again what the rows held back while the instance was inside a server call (see repost).
void RepostDeferredMessages(OpcDriver& drv);

// The class's window procedure: a message with a row in the instance's table goes through that row,
// every other to DefWindowProcA.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
