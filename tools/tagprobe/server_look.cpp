#include "tools/tagprobe/server_look.h"

#include <objbase.h>

#include "idl/opc_constants.h"
#include "opcda.h"
#include "tools/tagprobe/com_release.h"
#include "tools/tagprobe/result_text.h"

namespace {

constexpr wchar_t kGroupName[] = L"tagprobe";
constexpr DWORD kInactiveRateMs = 86400000; // the rate at which nothing is ever sent
constexpr DWORD kSystemLocale = 0x800;      // LOCALE_SYSTEM_DEFAULT

std::uint32_t ElementCount(const VARIANT& value)
{
    if ((value.vt & VT_ARRAY) == 0 || (value.vt & VT_BYREF) != 0 || value.parray == nullptr) return 0;
    std::uint64_t total = 1;
    for (USHORT d = 0; d < value.parray->cDims; ++d)
        total *= value.parray->rgsabound[d].cElements;
    return total > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(total);
}

// One device read of the array items, to learn how many elements each holds.
void CountArrayElements(IOPCItemMgt* itemMgt, const std::vector<OPCHANDLE>& handles, ServerLook& look)
{
    std::vector<OPCHANDLE> arrays;
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < look.items.size(); ++i) {
        if (look.items[i].error == S_OK && (look.items[i].canonical & VT_ARRAY) != 0) {
            arrays.push_back(handles[i]);
            indexes.push_back(i);
        }
    }
    IOPCSyncIO* syncIo = nullptr;
    if (arrays.empty() || FAILED(itemMgt->QueryInterface(IID_IOPCSyncIO, reinterpret_cast<void**>(&syncIo))))
        return;
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr =
        syncIo->Read(OPC_DS_DEVICE, static_cast<DWORD>(arrays.size()), arrays.data(), &states, &errors);
    for (std::size_t i = 0; SUCCEEDED(hr) && states != nullptr && errors != nullptr && i < arrays.size(); ++i)
        if (errors[i] == S_OK) look.items[indexes[i]].elements = ElementCount(states[i].vDataValue);
    for (std::size_t i = 0; states != nullptr && i < arrays.size(); ++i)
        VariantClear(&states[i].vDataValue);
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
    ReleaseInterface(syncIo);
}

// Adds the items and records what the server says of each; fills handles for the accepted ones.
void AddLookItems(IOPCItemMgt* itemMgt, const std::vector<std::wstring>& itemIds, ServerLook& look,
                  std::vector<OPCHANDLE>& handles)
{
    std::vector<OPCITEMDEF> definitions(itemIds.size());
    for (std::size_t i = 0; i < itemIds.size(); ++i) {
        definitions[i].szAccessPath = const_cast<LPWSTR>(L"");
        definitions[i].szItemID = const_cast<LPWSTR>(itemIds[i].c_str());
        definitions[i].hClient = static_cast<OPCHANDLE>(i + 1);
        definitions[i].vtRequestedDataType = VT_EMPTY;
    }
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    look.itemsResult =
        itemMgt->AddItems(static_cast<DWORD>(itemIds.size()), definitions.data(), &results, &errors);
    // A success without the arrays it promises is a server fault; it is treated as a refusal.
    if (SUCCEEDED(look.itemsResult) && (results == nullptr || errors == nullptr)) look.itemsResult = E_FAIL;
    handles.assign(itemIds.size(), 0);
    for (std::size_t i = 0; SUCCEEDED(look.itemsResult) && i < itemIds.size(); ++i) {
        look.items[i].error = errors[i];
        look.items[i].canonical = results[i].vtCanonicalDataType;
        look.items[i].access = results[i].dwAccessRights;
        handles[i] = results[i].hServer;
    }
    for (std::size_t i = 0; results != nullptr && i < itemIds.size(); ++i)
        CoTaskMemFree(results[i].pBlob);
    CoTaskMemFree(results);
    CoTaskMemFree(errors);
}

} // namespace

HRESULT CreateServer(const GUID& clsid, const std::wstring& host, IOPCServer** server)
{
    *server = nullptr;
    if (host.empty())
        return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER, IID_IOPCServer,
                                reinterpret_cast<void**>(server));
    return CreateRemoteObject(clsid, host, IID_IOPCServer, reinterpret_cast<void**>(server));
}

HRESULT CreateRemoteObject(const GUID& clsid, const std::wstring& host, const IID& iid, void** object)
{
    *object = nullptr;
    COSERVERINFO info{};
    info.pwszName = const_cast<LPWSTR>(host.c_str()); // the API takes no const text; it is only read
    MULTI_QI query{&iid, nullptr, S_OK};
    HRESULT hr = CoCreateInstanceEx(clsid, nullptr, CLSCTX_REMOTE_SERVER, &info, 1, &query);
    if (SUCCEEDED(hr)) hr = query.hr;
    if (SUCCEEDED(hr))
        *object = query.pItf;
    else
        ReleaseInterface(query.pItf);
    return hr;
}

void LookAtItems(IOPCServer* server, const std::vector<std::wstring>& itemIds, bool countArrays,
                 ServerLook& look)
{
    look.created = S_OK; // the caller holds the server object
    look.items.assign(itemIds.size(), ItemFacts{});
    DWORD group = 0;
    IOPCItemMgt* itemMgt = nullptr;
    look.groupResult = AddLookGroup(server, group, &itemMgt);
    if (FAILED(look.groupResult)) return;
    IOPCAsyncIO2* asyncIo = nullptr;
    look.offersAsyncIo2 =
        SUCCEEDED(itemMgt->QueryInterface(IID_IOPCAsyncIO2, reinterpret_cast<void**>(&asyncIo)));
    ReleaseInterface(asyncIo);
    std::vector<OPCHANDLE> handles;
    if (!itemIds.empty()) AddLookItems(itemMgt, itemIds, look, handles);
    if (countArrays && SUCCEEDED(look.itemsResult)) CountArrayElements(itemMgt, handles, look);
    RemoveLookGroup(server, group, itemMgt);
}

HRESULT AddLookGroup(IOPCServer* server, DWORD& group, IOPCItemMgt** itemMgt)
{
    *itemMgt = nullptr;
    DWORD revisedRate = 0;
    HRESULT hr =
        server->AddGroup(kGroupName, FALSE, kInactiveRateMs, 1, nullptr, nullptr, kSystemLocale, &group,
                         &revisedRate, IID_IOPCItemMgt, reinterpret_cast<IUnknown**>(itemMgt));
    if (SUCCEEDED(hr) && *itemMgt == nullptr) hr = E_NOINTERFACE;
    if (FAILED(hr)) ReleaseInterface(*itemMgt);
    return hr;
}

void RemoveLookGroup(IOPCServer* server, DWORD group, IOPCItemMgt*& itemMgt)
{
    if (itemMgt == nullptr) return;
    ReleaseInterface(itemMgt);
    // The group goes with its items; a server that keeps it while the look's server object lives
    // would otherwise show it to every later client of that object.
    server->RemoveGroup(group, TRUE);
}

void LookAtServer(const GUID& clsid, const std::wstring& host, const std::vector<std::wstring>& itemIds,
                  ServerLook& look)
{
    look = ServerLook{};
    IOPCServer* server = nullptr;
    look.created = CreateServer(clsid, host, &server);
    if (SUCCEEDED(look.created)) LookAtItems(server, itemIds, false, look);
    ReleaseInterface(server);
}

std::wstring LookFailure(const ServerLook& look)
{
    if (FAILED(look.created)) return L"creating the server object failed: " + ResultText(look.created);
    if (FAILED(look.groupResult)) return L"the server refused a group: " + ResultText(look.groupResult);
    if (FAILED(look.itemsResult) && !look.items.empty())
        return L"the server refused the items: " + ResultText(look.itemsResult);
    return {};
}
