// An OPC group: IOPCItemMgt, IOPCGroupStateMgt, IOPCSyncIO, IOPCAsyncIO2 and
// IConnectionPointContainer with the IOPCDataCallback point (each can be taken away by the scenario).
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <ocidl.h>

#include "opcda.h"
#include "opcsim/com_object.h"
#include "opcsim/sim_process.h"

struct ConnectionPoint;
struct ServerObject;

struct GroupItem {
    OPCHANDLE hServer = 0;
    OPCHANDLE hClient = 0;
    size_t index = 0; // into the address space
    bool active = true;
    VARTYPE requested = VT_EMPTY;
    ULONGLONG sentVersion = 0; // the item's version the group's last periodic update sent; 0: none yet
};

struct Group {
    Facet<IOPCItemMgt, Group> itemMgt{};
    Facet<IOPCGroupStateMgt, Group> stateMgt{};
    Facet<IOPCSyncIO, Group> syncIo{};
    Facet<IOPCAsyncIO2, Group> asyncIo{};
    Facet<IConnectionPointContainer, Group> points{};
    LONG refs = 0;
    ServerObject* server = nullptr; // counted: the server object lives at least as long as its groups
    SimProcess* sim = nullptr;
    ConnectionPoint* dataPoint = nullptr;
    std::wstring name{};
    bool active = true;
    bool enabled = true;
    DWORD updateRate = 0;
    OPCHANDLE hClientGroup = 0;
    OPCHANDLE hServerGroup = 0;
    LONG timeBias = 0;
    FLOAT deadband = 0;
    LCID lcid = 0;
    std::vector<GroupItem> items{};
    OPCHANDLE nextItemHandle = 1;
    // Periodic updates (subscription.h): the timer runs at updateRate while the group is active and enabled.
    UINT_PTR updateTimer = 0; // unique in the process
    bool updateTimerArmed = false;
    DWORD updateTimerRate = 0;
    bool updateInFlight = false; // an update is with its callback thread: the group's ticks pass meanwhile
    DWORD updateCookie = 0;      // the advise the updates went to; a new one has seen nothing
    DWORD goneCookie = 0;        // an advise whose client could not be reached: no more updates go to it
};

struct GroupSettings {
    std::wstring name{};
    bool active = true;
    DWORD updateRate = 0;
    OPCHANDLE hClientGroup = 0;
    LONG timeBias = 0;
    FLOAT deadband = 0;
    LCID lcid = 0;
};

// A new group of `server` with one reference for the caller; null when out of memory.
Group* CreateGroup(ServerObject& server, const GroupSettings& settings);
// IUnknown of every facet (com_object.h); the last release ends the group.
HRESULT QueryOwner(Group* group, REFIID iid, void** out);
ULONG AddRefOwner(Group* group);
ULONG ReleaseOwner(Group* group);

// The group's item with this server handle, or null.
GroupItem* FindGroupItem(Group& group, OPCHANDLE hServer);
// The revised rate and the result for a requested one: OPC_S_UNSUPPORTEDRATE below the scenario's minimum.
HRESULT ReviseRate(const SimProcess& sim, DWORD requested, DWORD& revised);
std::string GroupText(const Group& group); // group=<name> for log lines

extern const IOPCItemMgtVtbl kItemMgtVtbl;
extern const IOPCGroupStateMgtVtbl kStateMgtVtbl;
extern const IOPCSyncIOVtbl kSyncIoVtbl;
extern const IOPCAsyncIO2Vtbl kAsyncIoVtbl;
