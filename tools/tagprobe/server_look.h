#pragma once
// tagprobe's own look at the OPC server, through COM and not through the driver: the driver has no
// export that tells an item's canonical type or access rights, or whether the server's group offers
// IOPCAsyncIO2. The look adds the items to an inactive group of its own and removes it afterwards.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>
#include <wtypes.h>

struct IOPCItemMgt;
struct IOPCServer;

struct ItemFacts {
    HRESULT error = E_FAIL; // the server's answer for the item: S_OK when it knows the item
    VARTYPE canonical = VT_EMPTY;
    DWORD access = 0;           // OPC_READABLE | OPC_WRITEABLE
    std::uint32_t elements = 0; // of an array item, when counted: its number of elements
};

struct ServerLook {
    HRESULT created = E_FAIL;       // creating the server object
    HRESULT groupResult = E_FAIL;   // AddGroup
    HRESULT itemsResult = E_FAIL;   // AddItems
    bool offersAsyncIo2 = false;    // the group answers QueryInterface for IOPCAsyncIO2
    std::vector<ItemFacts> items{}; // one per ItemId asked about, in that order
};

// Creates the server object as the driver does: on this machine when host is empty (class context
// local or remote server), else on host (remote activation). *server is null on failure.
HRESULT CreateServer(const GUID& clsid, const std::wstring& host, IOPCServer** server);
// Remote activation of clsid on host, asking for iid; *object is null on failure.
HRESULT CreateRemoteObject(const GUID& clsid, const std::wstring& host, const IID& iid, void** object);

// Looks at itemIds on a server object; with countArrays, reads each array item once from the device
// to count its elements. Every step's outcome is recorded; a failed step skips those after it.
void LookAtItems(IOPCServer* server, const std::vector<std::wstring>& itemIds, bool countArrays,
                 ServerLook& look);
// An inactive group of tagprobe's own on server, for looking at items; S_OK with *itemMgt held.
HRESULT AddLookGroup(IOPCServer* server, DWORD& group, IOPCItemMgt** itemMgt);
// Releases itemMgt and removes the group from the server; nothing when itemMgt is null.
void RemoveLookGroup(IOPCServer* server, DWORD group, IOPCItemMgt*& itemMgt);

// CreateServer, LookAtItems and the release of the server object.
void LookAtServer(const GUID& clsid, const std::wstring& host, const std::vector<std::wstring>& itemIds,
                  ServerLook& look);

// What went wrong in the look, as one sentence; empty when the server answered every step.
std::wstring LookFailure(const ServerLook& look);
