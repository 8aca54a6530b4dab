#pragma once
// The OPC Data Access servers of a machine, as registered in the component categories of DA 1.0 and
// 2.0: on this machine through the system's category manager, on another one through the OPC server
// list service (OpcEnum) that runs there. And the CLSID a server's name on the command line stands for.

#include <string>
#include <vector>

#include <windows.h>

struct IOPCServerList;

struct ServerEntry {
    GUID clsid{};
    std::wstring progId{};      // empty when the class has none
    std::wstring description{}; // the class's user type name; empty when it has none
    bool da1 = false;           // registered in the DA 1.0 category
    bool da2 = false;           // registered in the DA 2.0 category
};

// The servers of this machine, ordered by ProgID (those without one last, by CLSID).
HRESULT ListLocalServers(std::vector<ServerEntry>& servers);
// The servers that host's OPC server list names, in the same order.
HRESULT ListRemoteServers(const std::wstring& host, std::vector<ServerEntry>& servers);
// The servers that a server list object names (the remote path without the activation).
HRESULT ListServersOf(IOPCServerList* list, std::vector<ServerEntry>& servers);

// The ProgID and description of clsid (empty texts when it has none): from this machine's registry
// when host is empty, else from host's server list.
HRESULT DescribeServerClass(const GUID& clsid, const std::wstring& host, ServerEntry& entry);

// The CLSID that name stands for: a CLSID in braces as it is, else a ProgID, looked up on this
// machine when host is empty and through host's server list otherwise. S_OK with clsid set.
HRESULT ResolveServerName(const std::wstring& name, const std::wstring& host, GUID& clsid);

// The server list service on host (remote activation). *list is null on failure.
HRESULT CreateServerList(const std::wstring& host, IOPCServerList** list);

// "2.0", "1.0, 2.0": the DA versions an entry declares.
std::wstring VersionsText(const ServerEntry& entry);
