// tagprobe servers: the OPC DA servers of this machine or of another one, with the ProgID by which a
// parameter file's author knows each, the CLSID the file needs, the description and the DA versions.
#include <objbase.h>

#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/server_list.h"
#include "tools/tagprobe/starter_file.h"

namespace {

TextTable ServerTable(const std::vector<ServerEntry>& servers)
{
    TextTable table{{L"progid", L"clsid", L"versions", L"description"}, {}};
    for (const auto& entry : servers)
        table.rows.push_back({entry.progId.empty() ? L"-" : entry.progId, ClsidText(entry.clsid),
                              VersionsText(entry), entry.description.empty() ? L"-" : entry.description});
    return table;
}

} // namespace

int RunServers(const ProbeOptions& options)
{
    bool comInitialized = SUCCEEDED(CoInitialize(nullptr));
    std::wstring host = options.operands.empty() ? std::wstring() : options.operands[0];
    std::vector<ServerEntry> servers;
    HRESULT hr = host.empty() ? ListLocalServers(servers) : ListRemoteServers(host, servers);
    int code = ExitOk;
    if (FAILED(hr)) {
        PrintError(host.empty()
                       ? L"cannot list the component categories of this machine: " + ResultText(hr)
                       : L"cannot ask the OPC server list (OpcEnum) on " + host + L": " + ResultText(hr));
        code = ExitInitFailed;
    } else {
        PrintLine(L"OPC DA servers " + (host.empty() ? L"on this machine" : L"on " + host) +
                  L" (component categories OPC DA 1.0 and 2.0): " + std::to_wstring(servers.size()));
        if (!servers.empty()) PrintTable(ServerTable(servers));
    }
    if (comInitialized) CoUninitialize();
    return code;
}
