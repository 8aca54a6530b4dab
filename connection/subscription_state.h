#pragma once
// The subscription's part of the instance record (subscribe): the inbox of data changes the worker
// queued for the host's thread (connection/change_inbox.h) and the status query after a silence
// (connection/keep_alive.h). Plain fields only, so that the record's header needs nothing of COM.

#include <atomic>
#include <cstdint>

#include <windows.h>

struct ChangeBlock;

// Under the supervision lock.
struct ChangeInbox {
    ChangeBlock* head = nullptr;
    ChangeBlock* tail = nullptr;
};

struct KeepAlive {
    bool armed = false;           // the instance is connected with subscribe: the timer runs
    bool checking = false;        // a status query is on its way; deadline is its limit
    std::uint64_t lastCall = 0;   // Ticks64 of the instance's latest call to the server
    std::uint64_t deadline = 0;   // Ticks64 of the running check's limit
    std::uint32_t number = 0;     // of the latest check, read by the worker with the hand-off
    HANDLE statusEvent = nullptr; // the worker's: query the server's status
    HRESULT result = S_OK;        // the worker's answer, published by answered (release)
    std::uint32_t serverState = 0;
    std::atomic<std::uint32_t> answered{0};
};
