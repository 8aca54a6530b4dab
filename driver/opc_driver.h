#pragma once
// OpcDriver: everything of one driver instance. The host holds it as an opaque pointer from MakeDriver
// to DisposeDriver. Two threads use it (the host's thread and, in synchronous mode, the worker) with one
// short lock, the supervision's (connection/supervision_state.h), and otherwise none: the batch fields
// are handed over through ReadActive/WriteActive, and flags is atomic because a shutdown notice may set
// ServerDown on the worker while the host changes the batch bits.

#include <atomic>
#include <cstdint>

#include <windows.h>

#include "config/channel_index.h"
#include "config/channel_table.h"
#include "connection/sink_objects.h"
#include "connection/subscription_state.h"
#include "connection/supervision_state.h"
#include "exchange/batch_state.h"

struct IOPCServer;
struct IOPCItemMgt;
struct IOPCSyncIO;
struct IOPCAsyncIO2;
struct IConnectionPointContainer;
struct IConnectionPoint;
struct tagOPCITEMSTATE;
struct tagVARIANT;
struct MessageTable;

enum DriverFlag : std::uint32_t {
    SyncIo = 0x00000001,
    WaitRunning = 0x00000002,
    Trace = 0x00000004,
    ComInit = 0x00000008,
    ThreadMode = 0x00000010,
    ShutdownAdvised = 0x00000020,
    DataAdvised = 0x00000040,
    // Read batches are answered from the server's data changes of an active group (exchange/subscription.h).
    Subscribe = 0x00000080,
    ReadActive = 0x00000100,
    ReadAgain = 0x00000200,
    WriteActive = 0x00000400,
    WriteAgain = 0x00000800,
    // A shutdown notice of the connection being made by a recovery attempt: it found ServerDown set
    // (the instance is lost until the attempt ends) and is honoured when the attempt has succeeded.
    NoticeWhileDown = 0x40000000,
    ServerDown = 0x80000000,
};

constexpr std::uint32_t kDefaultUpdateRateMs = 86400000;
// The group's rate with subscribe when the file sets none.
constexpr std::uint32_t kSubscribeUpdateRateMs = 1000;
// The limit on an unanswered batch when the file sets no batch_timeout.
constexpr std::uint32_t kDefaultBatchTimeoutMs = 30000;
constexpr std::uint32_t kHostNameMax = 259;
constexpr std::uint32_t kLastErrorMax = 127;

struct OpcDriver {
    HWND window = nullptr;
    ChannelTable channels;
    // The exports' lookup of channels, built by Init once the file is loaded.
    ChannelIndex channelIndex{&channels};
    GUID serverClsid{};
    wchar_t hostName[kHostNameMax + 1] = {};
    void(__cdecl* notify)(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero) = nullptr;
    std::uint32_t userData = 0;
    std::atomic<std::uint32_t> flags{0};
    std::uint32_t waitTimeMs = 0;
    std::uint32_t updateRateMs = kDefaultUpdateRateMs;
    std::uint32_t batchTimeoutMs = kDefaultBatchTimeoutMs;
    // 0: the instance never reconnects by itself (connection/supervision.h).
    std::uint32_t reconnectMs = 0;
    std::uint32_t readCount = 0;
    std::uint32_t writeCount = 0;
    Channel* readHead = nullptr;
    Channel* readTail = nullptr;
    Channel* writeHead = nullptr;
    Channel* writeTail = nullptr;
    IOPCServer* server = nullptr;
    IConnectionPointContainer* serverPoints = nullptr;
    IConnectionPoint* shutdownPoint = nullptr;
    ShutdownSinkObject shutdownSink;
    std::uint32_t shutdownCookie = 0;
    std::uint32_t groupHandle = 0;
    IOPCItemMgt* itemMgt = nullptr;
    IOPCSyncIO* syncIo = nullptr;
    IOPCAsyncIO2* asyncIo = nullptr;
    IConnectionPointContainer* groupPoints = nullptr;
    IConnectionPoint* dataPoint = nullptr;
    DataCallbackObject dataSink;
    std::uint32_t dataCookie = 0;
    wchar_t lastError[kLastErrorMax + 1] = {};
    HANDLE thread = nullptr;
    HANDLE readyEvent = nullptr;
    HANDLE stopEvent = nullptr;
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    std::uint32_t syncReadCount = 0;
    std::uint32_t* syncReadHandles = nullptr;
    std::uint32_t* syncReadChannels = nullptr;
    HRESULT syncReadResult = S_OK;
    tagOPCITEMSTATE* syncReadStates = nullptr;
    HRESULT* syncReadErrors = nullptr;
    std::uint32_t syncWriteCount = 0;
    std::uint32_t* syncWriteHandles = nullptr;
    std::uint32_t* syncWriteChannels = nullptr;
    tagVARIANT* syncWriteValues = nullptr;
    HRESULT syncWriteResult = S_OK;
    HRESULT* syncWriteErrors = nullptr;
    // Set only by a successful Init: without it the batch exports do nothing and the finalize exports
    // report StatusFailed, so an instance whose Init failed can only be released.
    bool ready = false;
    // The read and the write batch in flight (exchange/).
    BatchState readBatch;
    BatchState writeBatch;
    // Holders of this block: the host until DisposeDriver, and a worker thread while it runs. The last to
    // let go frees it, so a worker that outlives Done (stuck in a call to a hung server) never writes
    // into freed memory.
    std::atomic<std::uint32_t> holders{1};
    // Which thread closes the worker's events, decided once by compare-and-swap (connection/worker.cpp).
    std::atomic<std::uint32_t> workerLink{0};
    // The number of the batch handed to the worker, per direction: written by the host's thread before
    // the event, read by the worker.
    std::uint32_t syncReadNumber = 0;
    std::uint32_t syncWriteNumber = 0;
    // The number of the batch the worker has answered, stored (release) by the worker after the results
    // and before its completion message; the completion's guard compares it (acquire) with the number
    // in the message, so only a real answer to the batch outstanding hands the batch back.
    std::atomic<std::uint32_t> syncReadAnswered{0};
    std::atomic<std::uint32_t> syncWriteAnswered{0};
    // The rows of the instance's window (driver/message_table.cpp), set by MakeDriverRecord.
    const MessageTable* messages = nullptr;
    // Host's thread only. The depth of the instance's own server calls in progress (COM's modal loop
    // may dispatch messages and run host code inside them); the rows held back meanwhile, one bit per
    // row; and a Done or DisposeDriver asked for, carried out when the outermost call has returned
    // (connection/server_call.cpp).
    std::uint32_t serverCallDepth = 0;
    std::uint32_t deferredRoutes = 0;
    bool doneAsked = false;
    bool disposeAsked = false;
    // Host's thread only: Init has run on this instance; a second one is refused.
    bool initCalled = false;
    Supervision supervision;
    // Subscribe: the data changes the worker received for the host's thread, and the status query that
    // notices a server gone silent.
    ChangeInbox changes;
    KeepAlive keepAlive;
    // Host's thread only: the refresh of Init has not been answered yet (connection/first_values.h).
    bool firstValuesPending = false;
};

inline bool HasFlag(const OpcDriver& drv, std::uint32_t bit)
{
    return (drv.flags.load() & bit) != 0;
}
inline void SetFlag(OpcDriver& drv, std::uint32_t bit)
{
    drv.flags.fetch_or(bit);
}
inline void ClearFlag(OpcDriver& drv, std::uint32_t bit)
{
    drv.flags.fetch_and(~bit);
}
inline bool IsServerDown(const OpcDriver& drv)
{
    return static_cast<std::int32_t>(drv.flags.load()) < 0;
}

// Allocates a record from the core allocator and constructs it with every default; null when memory
// runs out.
OpcDriver* MakeDriverRecord();
// Runs Done (safe when it ran already), then lets go of the host's hold on the record; drv becomes null.
// Inside one of the instance's own server calls both happen when the outermost call has returned. The
// block is freed then, or by a worker that still runs when it ends.
void FreeDriverRecord(OpcDriver*& drv);
// A worker's hold on the record, taken before the thread starts and given back as its last act; the
// last holder clears what is left (channel table, synchronous batches) and frees the block.
void HoldDriverRecord(OpcDriver& drv);
void ReleaseDriverRecord(OpcDriver*& drv);

// Releases the channel lookup and the channel table; safe to repeat.
void ClearChannels(OpcDriver& drv);

// Release the synchronous read or write batch; safe at any time and safe to repeat. The counts stay.
void ReleaseSyncReadBatch(OpcDriver& drv);
void ReleaseSyncWriteBatch(OpcDriver& drv);
// What a read returns: each state's value cleared, then both arrays (COM task memory) freed; both
// become null. Safe with either null.
void ReleaseReadResults(std::uint32_t count, tagOPCITEMSTATE*& states, HRESULT*& errors);
// The VARIANTs built for a write: each cleared, then the block (the core allocator's) freed; values
// becomes null. Safe with null.
void ReleaseWriteValues(std::uint32_t count, tagVARIANT*& values);
