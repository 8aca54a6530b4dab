#pragma once
// Every key of the [server] section that the driver knows, with the form of its value: the names the
// driver's reader asks for, and one list of them for the tools that review a parameter file, so that
// they know exactly the keys the driver does.

#include <cstdint>

inline constexpr wchar_t kKeyClsid[] = L"CLSID";
inline constexpr wchar_t kKeyHost[] = L"host";
inline constexpr wchar_t kKeySync[] = L"sync";
inline constexpr wchar_t kKeyWaitRunning[] = L"wait_running";
inline constexpr wchar_t kKeyDebug[] = L"debug";
inline constexpr wchar_t kKeyWaitTime[] = L"wait_time";
inline constexpr wchar_t kKeyUpdateRate[] = L"update_rate";
inline constexpr wchar_t kKeyBatchTimeout[] = L"batch_timeout";
inline constexpr wchar_t kKeyReconnect[] = L"reconnect";
inline constexpr wchar_t kKeySubscribe[] = L"subscribe";

enum class ServerKeyForm : std::uint8_t {
    Clsid,    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    HostName, // a machine's name; empty means this machine
    Switch,   // a boolean
    Seconds,  // a number of seconds, read as milliseconds
};

struct ServerKey {
    const wchar_t* name;
    ServerKeyForm form;
};

// In the order in which the driver reads them.
inline constexpr ServerKey kServerKeys[] = {
    {kKeyClsid, ServerKeyForm::Clsid},        {kKeyHost, ServerKeyForm::HostName},
    {kKeySync, ServerKeyForm::Switch},        {kKeyWaitRunning, ServerKeyForm::Switch},
    {kKeyDebug, ServerKeyForm::Switch},       {kKeyWaitTime, ServerKeyForm::Seconds},
    {kKeyUpdateRate, ServerKeyForm::Seconds}, {kKeyBatchTimeout, ServerKeyForm::Seconds},
    {kKeyReconnect, ServerKeyForm::Seconds},  {kKeySubscribe, ServerKeyForm::Switch},
};

// The entry whose name matches name (length characters, without regard to ASCII case, as the file's
// reader matches keys), or null.
const ServerKey* FindServerKey(std::uint32_t length, const wchar_t* name);
