// The OPC server object a client creates: IOPCServer, IOPCCommon, IConnectionPointContainer with the
// IOPCShutdown point, and IOPCBrowseServerAddressSpace (flat).
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <ocidl.h>

#include "opcda.h"
#include "opcsim/com_object.h"
#include "opcsim/sim_process.h"

struct ConnectionPoint;
struct Group;

struct ServerObject {
    Facet<IOPCServer, ServerObject> server{};
    Facet<IOPCCommon, ServerObject> common{};
    Facet<IConnectionPointContainer, ServerObject> points{};
    Facet<IOPCBrowseServerAddressSpace, ServerObject> browse{};
    LONG refs = 0;
    SimProcess* sim = nullptr;
    ConnectionPoint* shutdownPoint = nullptr;
    std::vector<Group*> groups{}; // not counted: a group removes itself when it ends
    OPCHANDLE nextGroupHandle = 1;
    LCID lcid = LOCALE_SYSTEM_DEFAULT;
    std::wstring clientName{};
    FILETIME startTime{};
    // GetStatus sequence: the current step and where it began
    size_t statusStep = 0;
    ULONGLONG stepStartTick = 0;
    DWORD stepStartCall = 0;
    DWORD statusCalls = 0;
};

// A new server object with one reference, its IUnknown in *out; E_OUTOFMEMORY.
HRESULT CreateServerObject(SimProcess& sim, REFIID iid, void** out);
// IUnknown of every facet (com_object.h); the last release ends the object.
HRESULT QueryOwner(ServerObject* server, REFIID iid, void** out);
ULONG AddRefOwner(ServerObject* server);
ULONG ReleaseOwner(ServerObject* server);

// The vtables, one file per interface family.
extern const IOPCServerVtbl kServerVtbl;
extern const IOPCCommonVtbl kCommonVtbl;
extern const IOPCBrowseServerAddressSpaceVtbl kBrowseVtbl;

Group* FindGroupByName(const ServerObject& server, const std::wstring& name);
// Sends the scenario's shutdown reason to every advised shutdown sink, each from a thread of its own.
void SendShutdownNotices(SimProcess& sim);
std::wstring ErrorText(HRESULT error);
// GetErrorString of IOPCServer and IOPCCommon (the locale changes nothing: the texts are English).
HRESULT GetErrorStringCall(SimProcess& sim, HRESULT error, LPWSTR* text);
