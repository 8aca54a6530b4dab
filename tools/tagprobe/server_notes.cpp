#include "tools/tagprobe/server_notes.h"

#include "config/server_keys.h"
#include "connection/keep_alive.h"
#include "driver/opc_driver.h"
#include "hostrt/param_value.h"

namespace {

constexpr wchar_t kSyncMode[] = L"synchronous mode (a worker thread with IOPCSyncIO)";

std::wstring Ms(std::uint32_t ms)
{
    return std::to_wstring(ms) + L" ms";
}

std::wstring ModeNote(const OpcDriver& drv)
{
    if (drv.hostName[0] != L'\0')
        return std::wstring(L"mode: ") + kSyncMode + L", the file names the host " + drv.hostName;
    if (HasFlag(drv, SyncIo)) return std::wstring(L"mode: ") + kSyncMode + L", the file asks for it";
    return L"mode: asynchronous (IOPCAsyncIO2, results in the runtime's thread); synchronous when the "
           L"server's "
           L"group offers no IOPCAsyncIO2";
}

std::wstring UpdateRateNote(const OpcDriver& drv)
{
    if (drv.updateRateMs == kDefaultUpdateRateMs)
        return L"86400 s is the driver's \"no update rate\": the group is inactive, synchronous reads go to "
               L"the "
               L"device (OPC_DS_DEVICE)";
    return L"the group is active with a requested update rate of " + Ms(drv.updateRateMs) +
           L": the server refreshes its cache at that rate and synchronous reads come from the cache "
           L"(OPC_DS_CACHE); asynchronous reads always go to the device";
}

std::wstring BatchTimeoutNote(const OpcDriver& drv)
{
    return L"a batch that the server has not answered within " + Ms(drv.batchTimeoutMs) +
           L" ends as failed, in both modes (without the key: " + Ms(kDefaultBatchTimeoutMs) + L")";
}

std::wstring ReconnectNote(const OpcDriver& drv)
{
    if (drv.reconnectMs == 0) return L"off: an instance that loses its server stays without it";
    return L"an instance that loses its server tries the whole connection again every " + Ms(drv.reconnectMs);
}

std::wstring SubscribeNote(const OpcDriver& drv, bool on)
{
    if (!on) return L"false: every read batch is a call to the server";
    return L"read batches are answered from the server's data changes, without a call to the server; the "
           L"group is active at " +
           Ms(drv.updateRateMs) + L" (" + Ms(kSubscribeUpdateRateMs) +
           L" when the file sets no update_rate); after " + Ms(KeepAliveIntervalMs(drv)) +
           L" without any call the driver asks the server for its status, so a server that dies silently is "
           L"noticed";
}

// Called only for a section the driver accepted: drv holds what it loaded. Keys are told apart by
// their entry in the driver's key list, so a key added there has no note until it is given one here.
std::wstring KeyNote(const KeyLine& key, const OpcDriver& drv)
{
    const ServerKey* known = FindServerKey(static_cast<std::uint32_t>(key.key.size()), key.key.c_str());
    const wchar_t* name = known == nullptr ? nullptr : known->name;
    bool on = false;
    ParseBoolText(static_cast<std::uint32_t>(key.value.size()), key.value.c_str(), &on);
    if (name == kKeyClsid) return L"the server the driver connects to";
    if (name == kKeyHost)
        return key.value.empty() ? std::wstring(L"the server on this machine, in ") + kSyncMode
                                 : L"the server on " + key.value + L" (remote activation), in " + kSyncMode;
    if (name == kKeySync)
        return on ? std::wstring(kSyncMode)
                  : L"false: no effect (the driver never clears a mode the file selects)";
    if (name == kKeyWaitRunning)
        return on ? L"Init waits up to 15000 ms for a server that reports that it is not yet configured"
                  : L"false: a server that is not yet configured fails Init";
    if (name == kKeyDebug)
        return on ? L"the driver writes trace lines to the debugger output (tagprobe --trace shows them)"
                  : L"false: no trace lines";
    if (name == kKeyWaitTime)
        return drv.waitTimeMs == 0
                   ? L"no pause"
                   : L"a pause of " + Ms(drv.waitTimeMs) +
                         L" after the server object is created, before its first status query";
    if (name == kKeyUpdateRate) return UpdateRateNote(drv);
    if (name == kKeyBatchTimeout) return BatchTimeoutNote(drv);
    if (name == kKeyReconnect) return ReconnectNote(drv);
    if (name == kKeySubscribe) return SubscribeNote(drv, on);
    return L"";
}

} // namespace

void AddServerNotes(const std::vector<KeyLine>& keys, std::uint32_t headerLine, const OpcDriver& drv,
                    std::vector<Finding>& notes)
{
    notes.push_back(Finding{headerLine, FindingLevel::Note, ModeNote(drv)});
    for (const auto& key : keys) {
        std::wstring note = KeyNote(key, drv);
        std::wstring given = key.value.empty() ? key.key + L", empty" : key.key + L" = " + key.value;
        notes.push_back(Finding{key.line, FindingLevel::Note, given + L": " + note});
    }
}
