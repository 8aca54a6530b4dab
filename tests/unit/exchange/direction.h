#pragma once
// The read and the write cycle seen through one table, so that what both must do is tested once for
// each: request, fire, finalize, an asynchronous completion, and the worker's answer in synchronous mode.

#include <cstdint>
#include <ostream>
#include <vector>

#include <windows.h>

#include "driver/opc_driver.h"
#include "exchange/batch.h"

struct Direction {
    const char* name;
    const BatchKind* batch; // the product's own description of the direction
    std::uint32_t kind;     // of the host's notification
    std::uint32_t activeFlag;
    std::uint32_t againFlag;
    std::uint32_t wrongChannel; // a channel without this direction's access right
    void (*request)(OpcDriver& drv, std::uint32_t channel);
    void (*fire)(OpcDriver& drv);
    bool (*finalized)(OpcDriver& drv, std::uint32_t channel, std::uint32_t* status);
    // The server's completion: one item per channel with its error; values are good I4 numbers.
    HRESULT(*complete)
    (OpcDriver& drv, DWORD transactionId, HRESULT masterError, const std::vector<std::uint32_t>& channels,
     const std::vector<HRESULT>& errors);
    // The worker's answer to the batch handed over: result, and per item the error (no arrays when
    // withArrays is false); then the completion message's handling.
    void (*serveSync)(OpcDriver& drv, HRESULT result, const std::vector<HRESULT>& errors, bool withArrays);
    // The batch handed to the worker, and the event that wakes it.
    std::uint32_t OpcDriver::*syncCount;
    std::uint32_t* OpcDriver::*syncHandles;
    std::uint32_t* OpcDriver::*syncChannels;
    HANDLE OpcDriver::*event;
    std::uint32_t syncDoneMessage;
    const wchar_t* callText;       // traced before the asynchronous call
    const wchar_t* completionText; // traced by the server's completion callback
    const wchar_t* rejectedText;
    const wchar_t* failedText;
    const wchar_t* itemFailedText;
    const wchar_t* wrongDirectionText;
};

extern const Direction kReading;
extern const Direction kWriting;

inline std::ostream& operator<<(std::ostream& out, const Direction& direction)
{
    return out << direction.name;
}
