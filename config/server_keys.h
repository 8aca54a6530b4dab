#pragma once
// Every key of the [server] section that the driver knows, with the form of its value: one list for
// the tools that review a parameter file, so that they know exactly the keys the driver does.

#include <cstdint>

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
    {L"CLSID", ServerKeyForm::Clsid},         {L"host", ServerKeyForm::HostName},
    {L"sync", ServerKeyForm::Switch},         {L"wait_running", ServerKeyForm::Switch},
    {L"debug", ServerKeyForm::Switch},        {L"wait_time", ServerKeyForm::Seconds},
    {L"update_rate", ServerKeyForm::Seconds}, {L"batch_timeout", ServerKeyForm::Seconds},
    {L"reconnect", ServerKeyForm::Seconds},
};

// The entry whose name matches name (length characters, without regard to ASCII case, as the file's
// reader matches keys), or null.
const ServerKey* FindServerKey(std::uint32_t length, const wchar_t* name);
