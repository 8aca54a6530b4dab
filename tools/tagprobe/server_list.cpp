#include "tools/tagprobe/server_list.h"

#include <algorithm>

#include <objbase.h>
#include <comcat.h>

#include "idl/opc_constants.h"
#include "opcda.h"
#include "tools/tagprobe/com_release.h"
#include "tools/tagprobe/server_look.h"
#include "tools/tagprobe/starter_file.h"

namespace {

constexpr ULONG kClassesPerCall = 32;

// Either source of category listings answers the same question with the same kind of enumerator.
struct CategorySource {
    ICatInformation* local = nullptr;
    IOPCServerList* remote = nullptr;
};

HRESULT EnumerateCategory(const CategorySource& source, const GUID& category, IEnumGUID** classes)
{
    // No required categories: the array is passed with a count of 0, as the marshalled interface
    // needs a valid pointer for it.
    CATID implemented[1] = {category};
    CATID required[1] = {category};
    if (source.local != nullptr)
        return source.local->EnumClassesOfCategories(1, implemented, 0, required, classes);
    return source.remote->EnumClassesOfCategories(1, implemented, 0, required, classes);
}

ServerEntry& EntryFor(std::vector<ServerEntry>& servers, const GUID& clsid)
{
    for (auto& entry : servers)
        if (IsEqualGUID(entry.clsid, clsid)) return entry;
    servers.push_back(ServerEntry{});
    servers.back().clsid = clsid;
    return servers.back();
}

HRESULT CollectCategory(const CategorySource& source, const GUID& category, bool ServerEntry::*version,
                        std::vector<ServerEntry>& servers)
{
    IEnumGUID* classes = nullptr;
    HRESULT hr = EnumerateCategory(source, category, &classes);
    if (FAILED(hr) || classes == nullptr) return FAILED(hr) ? hr : S_OK;
    for (;;) {
        GUID batch[kClassesPerCall] = {};
        ULONG fetched = 0;
        hr = classes->Next(kClassesPerCall, batch, &fetched);
        if (FAILED(hr)) break;
        for (ULONG i = 0; i < fetched && i < kClassesPerCall; ++i)
            EntryFor(servers, batch[i]).*version = true;
        if (hr != S_OK || fetched == 0) break;
    }
    ReleaseInterface(classes);
    return FAILED(hr) ? hr : S_OK;
}

std::wstring TakeTaskText(LPOLESTR& text)
{
    std::wstring copy = text != nullptr ? text : L"";
    CoTaskMemFree(text);
    text = nullptr;
    return copy;
}

void DescribeLocalClass(const GUID& clsid, ServerEntry& entry)
{
    LPOLESTR progId = nullptr;
    if (FAILED(ProgIDFromCLSID(clsid, &progId))) progId = nullptr;
    entry.progId = TakeTaskText(progId);
    LPOLESTR userType = nullptr;
    if (FAILED(OleRegGetUserType(clsid, USERCLASSTYPE_FULL, &userType))) userType = nullptr;
    entry.description = TakeTaskText(userType);
}

HRESULT DescribeListedClass(IOPCServerList* list, const GUID& clsid, ServerEntry& entry)
{
    LPOLESTR progId = nullptr;
    LPOLESTR userType = nullptr;
    HRESULT hr = list->GetClassDetails(clsid, &progId, &userType);
    entry.progId = TakeTaskText(progId);
    entry.description = TakeTaskText(userType);
    return hr;
}

void SortServers(std::vector<ServerEntry>& servers)
{
    std::sort(servers.begin(), servers.end(), [](const ServerEntry& a, const ServerEntry& b) {
        if (a.progId.empty() != b.progId.empty()) return b.progId.empty();
        if (a.progId != b.progId) return _wcsicmp(a.progId.c_str(), b.progId.c_str()) < 0;
        return ClsidText(a.clsid) < ClsidText(b.clsid);
    });
}

HRESULT ListFrom(const CategorySource& source, std::vector<ServerEntry>& servers)
{
    servers.clear();
    HRESULT hr = CollectCategory(source, CATID_OPCDAServer10, &ServerEntry::da1, servers);
    if (SUCCEEDED(hr)) hr = CollectCategory(source, CATID_OPCDAServer20, &ServerEntry::da2, servers);
    for (auto& entry : servers) {
        if (source.local != nullptr)
            DescribeLocalClass(entry.clsid, entry);
        else
            DescribeListedClass(source.remote, entry.clsid, entry);
    }
    SortServers(servers);
    return hr;
}

} // namespace

HRESULT DescribeServerClass(const GUID& clsid, const std::wstring& host, ServerEntry& entry)
{
    entry.clsid = clsid;
    if (host.empty()) {
        DescribeLocalClass(clsid, entry);
        return S_OK;
    }
    IOPCServerList* list = nullptr;
    HRESULT hr = CreateServerList(host, &list);
    if (SUCCEEDED(hr)) hr = DescribeListedClass(list, clsid, entry);
    ReleaseInterface(list);
    return hr;
}

HRESULT ListLocalServers(std::vector<ServerEntry>& servers)
{
    servers.clear();
    CategorySource source;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatInformation, reinterpret_cast<void**>(&source.local));
    if (SUCCEEDED(hr)) hr = ListFrom(source, servers);
    ReleaseInterface(source.local);
    return hr;
}

HRESULT ListServersOf(IOPCServerList* list, std::vector<ServerEntry>& servers)
{
    CategorySource source;
    source.remote = list;
    return ListFrom(source, servers);
}

HRESULT CreateServerList(const std::wstring& host, IOPCServerList** list)
{
    return CreateRemoteObject(CLSID_OpcServerList, host, IID_IOPCServerList, reinterpret_cast<void**>(list));
}

HRESULT ListRemoteServers(const std::wstring& host, std::vector<ServerEntry>& servers)
{
    servers.clear();
    IOPCServerList* list = nullptr;
    HRESULT hr = CreateServerList(host, &list);
    if (SUCCEEDED(hr)) hr = ListServersOf(list, servers);
    ReleaseInterface(list);
    return hr;
}

HRESULT ResolveServerName(const std::wstring& name, const std::wstring& host, GUID& clsid)
{
    if (!name.empty() && name[0] == L'{') return CLSIDFromString(name.c_str(), &clsid);
    if (host.empty()) return CLSIDFromProgID(name.c_str(), &clsid);
    IOPCServerList* list = nullptr;
    HRESULT hr = CreateServerList(host, &list);
    if (SUCCEEDED(hr)) hr = list->CLSIDFromProgID(name.c_str(), &clsid);
    ReleaseInterface(list);
    return hr;
}

std::wstring VersionsText(const ServerEntry& entry)
{
    if (entry.da1 && entry.da2) return L"1.0, 2.0";
    return entry.da1 ? L"1.0" : L"2.0";
}
