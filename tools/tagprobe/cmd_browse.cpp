// tagprobe browse: the server's items through IOPCBrowseServerAddressSpace, with their canonical types
// and access rights; --par writes a starter parameter file for them. The driver is not involved.
#include <objbase.h>

#include "opcda.h"
#include "tools/tagprobe/browse_walk.h"
#include "tools/tagprobe/com_release.h"
#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/server_list.h"
#include "tools/tagprobe/server_look.h"
#include "tools/tagprobe/starter_file.h"
#include "tools/tagprobe/text_file.h"
#include "tools/tagprobe/type_names.h"

namespace {

TextTable ItemTable(const std::vector<std::wstring>& itemIds, const ServerLook& look)
{
    TextTable table{{L"item id", L"canonical type", L"access", L"elements"}, {}};
    for (std::size_t i = 0; i < itemIds.size(); ++i) {
        const ItemFacts& facts = look.items[i];
        if (facts.error != S_OK) {
            table.rows.push_back({itemIds[i], L"refused: " + ResultText(facts.error), L"-", L"-"});
            continue;
        }
        bool array = (facts.canonical & VT_ARRAY) != 0;
        table.rows.push_back({itemIds[i], VarTypeName(facts.canonical), AccessText(facts.access),
                              array ? (facts.elements > 0 ? std::to_wstring(facts.elements) : L"?") : L"-"});
    }
    return table;
}

int Browse(IOPCServer* server, const GUID& clsid, const std::wstring& host, const ProbeOptions& options)
{
    BrowseResult browsed;
    BrowseItems(server, browsed);
    if (FAILED(browsed.hr)) {
        PrintError(L"the server's address space cannot be browsed: " + ResultText(browsed.hr));
        return ExitInitFailed;
    }
    ServerLook look;
    LookAtItems(server, browsed.itemIds, true, look);
    std::wstring failure = LookFailure(look);
    if (!failure.empty()) {
        PrintError(failure);
        return ExitInitFailed;
    }
    PrintLine(ClsidText(clsid) + (host.empty() ? L" on this machine" : L" on " + host) + L": " +
              std::to_wstring(browsed.itemIds.size()) + L" items, " +
              (browsed.hierarchical ? L"hierarchical" : L"flat") + L" address space");
    PrintTable(ItemTable(browsed.itemIds, look));
    if (browsed.truncated) PrintError(L"the walk stopped at its limits; the list is incomplete");
    if (options.starterFile.empty()) return ExitOk;
    std::wstring error;
    if (!WriteNewTextFile(options.starterFile, StarterFileText(clsid, host, browsed.itemIds, look.items),
                          error)) {
        PrintError(error);
        return ExitInitFailed;
    }
    PrintLine(L"wrote the starter parameter file " + options.starterFile);
    return ExitOk;
}

} // namespace

int RunBrowse(const ProbeOptions& options)
{
    bool comInitialized = SUCCEEDED(CoInitialize(nullptr));
    GUID clsid{};
    std::wstring host = options.operands.size() > 1 ? options.operands[1] : std::wstring();
    IOPCServer* server = nullptr;
    int code = ExitInitFailed;
    HRESULT named = ResolveServerName(options.operands[0], host, clsid);
    if (FAILED(named) && !host.empty() && options.operands[0][0] != L'{') {
        PrintError(L"cannot ask the OPC server list (OpcEnum) on " + host + L" for the ProgID " +
                   options.operands[0] + L": " + ResultText(named));
    } else if (FAILED(named)) {
        PrintError(options.operands[0] + L" is neither a CLSID in braces nor a registered ProgID");
        code = ExitUsage;
    } else {
        HRESULT hr = CreateServer(clsid, host, &server);
        if (FAILED(hr))
            PrintError(L"cannot create the server " + ClsidText(clsid) + L": " + ResultText(hr));
        else
            code = Browse(server, clsid, host, options);
    }
    ReleaseInterface(server);
    if (comInitialized) CoUninitialize();
    return code;
}
