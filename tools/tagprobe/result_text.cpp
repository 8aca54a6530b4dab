#include "tools/tagprobe/result_text.h"

#include <cwchar>

#include "config/channel_table.h"
#include "idl/opc_constants.h"

namespace {

struct ResultEntry {
    HRESULT hr;
    const wchar_t* text;
};

// The codes a user meets when a server cannot be reached or refuses an item, each with what it means.
const ResultEntry kResults[] = {
    {REGDB_E_CLASSNOTREG, L"REGDB_E_CLASSNOTREG: the server is not registered on this machine"},
    {CO_E_SERVER_EXEC_FAILURE, L"CO_E_SERVER_EXEC_FAILURE: the server program could not be started"},
    {E_ACCESSDENIED, L"E_ACCESSDENIED: access denied (check the DCOM launch and access permissions)"},
    {E_NOINTERFACE, L"E_NOINTERFACE: the server does not offer this interface"},
    {E_FAIL, L"E_FAIL: unspecified failure"},
    {E_INVALIDARG, L"E_INVALIDARG: the server refused an argument"},
    {E_OUTOFMEMORY, L"E_OUTOFMEMORY: out of memory"},
    {static_cast<HRESULT>(0x800706BA),
     L"RPC_S_SERVER_UNAVAILABLE: the server machine or process cannot be reached"},
    {static_cast<HRESULT>(0x800706BE), L"RPC_S_CALL_FAILED: the call to the server failed"},
    {static_cast<HRESULT>(0x80010108), L"RPC_E_DISCONNECTED: the server has gone"},
    {OPC_E_UNKNOWNITEMID, L"OPC_E_UNKNOWNITEMID: the server does not know this ItemId"},
    {OPC_E_INVALIDITEMID, L"OPC_E_INVALIDITEMID: the ItemId is not valid for this server"},
    {OPC_E_BADTYPE, L"OPC_E_BADTYPE: the server cannot convert the value to the item's type"},
    {OPC_E_BADRIGHTS, L"OPC_E_BADRIGHTS: the item's access rights forbid this"},
    {OPC_E_RANGE, L"OPC_E_RANGE: the value is out of range for the item"},
    {OPC_E_UNKNOWNPATH, L"OPC_E_UNKNOWNPATH: the access path is unknown"},
};

} // namespace

std::wstring StatusName(std::uint32_t status)
{
    switch (status) {
    case StatusOk:
        return L"ok";
    case StatusServerDown:
        return L"server down";
    case StatusFailed:
        return L"failed";
    case StatusNoChannel:
        return L"no channel";
    case StatusWrongDirection:
        return L"wrong direction";
    default:
        return L"status " + std::to_wstring(status);
    }
}

std::wstring QualityText(std::uint32_t level)
{
    switch (level) {
    case 750:
        return L"750 good";
    case 500:
        return L"500 uncertain";
    case 0:
        return L"0 bad";
    default:
        return std::to_wstring(level);
    }
}

bool IsNoTimestamp(const HostTimestamp& timestamp)
{
    return timestamp.msOfDay == 0 && timestamp.day == 0 && timestamp.month == 0 && timestamp.year == 0;
}

std::wstring TimestampText(const HostTimestamp& timestamp)
{
    if (IsNoTimestamp(timestamp)) return L"-";
    std::uint32_t ms = timestamp.msOfDay;
    wchar_t text[40];
    std::swprintf(text, 40, L"%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", static_cast<unsigned>(timestamp.year),
                  static_cast<unsigned>(timestamp.month), static_cast<unsigned>(timestamp.day), ms / 3600000,
                  ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text;
}

std::wstring AccessText(std::uint32_t rights)
{
    switch (rights) {
    case 0:
        return L"none";
    case OPC_READABLE:
        return L"read";
    case OPC_WRITEABLE:
        return L"write";
    case OPC_READABLE | OPC_WRITEABLE:
        return L"read/write";
    default:
        wchar_t text[16];
        std::swprintf(text, 16, L"0x%X", rights);
        return text;
    }
}

std::wstring ResultText(HRESULT hr)
{
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    for (const auto& entry : kResults)
        if (entry.hr == hr) return std::wstring(code) + L" " + entry.text;
    return code;
}
