#include "config/server_section.h"

#include <cstdint>

#include "config/clsid.h"
#include "config/seconds.h"
#include "config/server_keys.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"
#include "hostrt/param_reader.h"

namespace {

constexpr wchar_t kErrNoClsid[] = L"Cannot find mandatory CLSID parameter in [server] section of PAR file";
constexpr wchar_t kErrClsid[] = L"Error in server CLSID specified in PAR file";
constexpr wchar_t kErrKeyTwice[] = L"Duplicate key in [server] section of PAR file";
constexpr wchar_t kErrValue[] = L"Wrong value in [server] section of PAR file";
constexpr wchar_t kErrSeconds[] =
    L"Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file";

constexpr std::uint32_t kClsidTextMax = 511;

std::uint32_t KeyLength(const wchar_t* key)
{
    return WideLen(kKeyMax, key);
}

// The reader answers with a key's first entry; a second one would be ignored without a word.
bool CheckGivenOnce(const ParamReader& reader, const wchar_t* key, const ErrorText& err)
{
    return reader.KeyCount(KeyLength(key), key) <= 1 || FailWith(err, key, kErrKeyTwice);
}

// A key that is given but could not be read has a value of the wrong form: refused, not taken as absent.
bool RefuseIfGiven(const ParamReader& reader, const wchar_t* key, const ErrorText& err)
{
    return reader.KeyCount(KeyLength(key), key) == 0 || FailWith(err, key, kErrValue);
}

bool ReadClsid(ParamReader& reader, OpcDriver& drv, const ErrorText& err)
{
    if (!CheckGivenOnce(reader, kKeyClsid, err)) return false;
    wchar_t text[kClsidTextMax + 1];
    if (!reader.ReadText(KeyLength(kKeyClsid), kKeyClsid, kClsidTextMax, text)) return Fail(err, kErrNoClsid);
    // A value cut to 511 characters is no CLSID either, so ParseClsid refuses it as well.
    return ParseClsid(text, &drv.serverClsid) || Fail(err, kErrClsid);
}

bool ReadHost(ParamReader& reader, OpcDriver& drv, const ErrorText& err)
{
    if (!CheckGivenOnce(reader, kKeyHost, err)) return false;
    if (!reader.ReadText(KeyLength(kKeyHost), kKeyHost, kHostNameMax, drv.hostName)) {
        drv.hostName[0] = L'\0';
        return true;
    }
    // A cut name would name another machine.
    if (reader.ValueWasCut()) return FailWith(err, kKeyHost, kErrValue);
    SetFlag(drv, SyncIo);
    return true;
}

// Sets bit when the key is true; false and absent leave the flags alone (flags are never cleared here).
bool ReadSwitch(ParamReader& reader, OpcDriver& drv, const wchar_t* key, std::uint32_t bit,
                const ErrorText& err)
{
    if (!CheckGivenOnce(reader, key, err)) return false;
    bool value = false;
    if (!reader.ReadBool(KeyLength(key), key, &value)) return RefuseIfGiven(reader, key, err);
    if (value) SetFlag(drv, bit);
    return true;
}

// Every time key: read once, a number, within the range; absent gives absentMs.
bool ReadMilliseconds(ParamReader& reader, const wchar_t* key, std::uint32_t absentMs, std::uint32_t& ms,
                      const ErrorText& err)
{
    if (!CheckGivenOnce(reader, key, err)) return false;
    double seconds = 0.0;
    if (!reader.ReadReal(KeyLength(key), key, &seconds)) {
        ms = absentMs;
        return RefuseIfGiven(reader, key, err);
    }
    return SecondsToMilliseconds(seconds, &ms) || FailWith(err, key, kErrSeconds);
}

} // namespace

bool ReadServerSection(ParamReader& reader, OpcDriver& drv, const ErrorText& err)
{
    bool read = ReadClsid(reader, drv, err) && ReadHost(reader, drv, err) &&
                ReadSwitch(reader, drv, kKeySync, SyncIo, err) &&
                ReadSwitch(reader, drv, kKeyWaitRunning, WaitRunning, err) &&
                ReadSwitch(reader, drv, kKeyDebug, Trace, err) &&
                ReadMilliseconds(reader, kKeyWaitTime, 0, drv.waitTimeMs, err) &&
                ReadMilliseconds(reader, kKeyUpdateRate, kDefaultUpdateRateMs, drv.updateRateMs, err) &&
                ReadMilliseconds(reader, kKeyBatchTimeout, kDefaultBatchTimeoutMs, drv.batchTimeoutMs, err) &&
                ReadMilliseconds(reader, kKeyReconnect, 0, drv.reconnectMs, err) &&
                ReadSwitch(reader, drv, kKeySubscribe, Subscribe, err);
    // Subscriptions need an active group: a file that sets no rate gets one update a second.
    if (read && HasFlag(drv, Subscribe) && drv.updateRateMs == kDefaultUpdateRateMs)
        drv.updateRateMs = kSubscribeUpdateRateMs;
    return read;
}
