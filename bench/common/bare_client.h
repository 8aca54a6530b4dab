#pragma once
// The baseline: a bare OPC client that makes the raw calls the driver makes, on the same items and with
// the same group settings (inactive group at the driver's default rate, so reads go to the device), and
// does nothing else: no channel table, no conversion, no thread, no window.

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "bench/common/par_items.h"

class BareSink;

struct BareClient {
    IOPCServer* server = nullptr;
    IOPCItemMgt* group = nullptr;
    IOPCSyncIO* syncIo = nullptr;
    IOPCAsyncIO2* asyncIo = nullptr;
    IConnectionPoint* dataPoint = nullptr;
    DWORD cookie = 0;
    BareSink* sink = nullptr;
    std::vector<OPCHANDLE> handles{};
    std::vector<VARIANT> values{}; // VT_R8, filled by each write
    DWORD transactionId = 0;
};

// Creates the server object and a group with the items, and advises a data callback. On failure the
// client holds what was acquired (release it) and the text names the step.
HRESULT ConnectBareClient(BareClient& client, const ParItems& items, std::string& failedStep);
// Releases everything; safe to repeat.
void ReleaseBareClient(BareClient& client);

// One batch each, over every item; true when the call and every item succeeded.
// IOPCAsyncIO2::Read, then dispatching messages until OnReadComplete has come.
bool BareAsyncRead(BareClient& client);
// IOPCSyncIO::Read from the device, then the results freed.
bool BareSyncRead(BareClient& client);
// IOPCAsyncIO2::Write of base + i to item i, then dispatching until OnWriteComplete has come.
bool BareAsyncWrite(BareClient& client, double base);
// IOPCSyncIO::Write of base + i to item i.
bool BareSyncWrite(BareClient& client, double base);
