// One item of a read or write call of a group, shared by IOPCSyncIO and IOPCAsyncIO2; each writes its
// "read" or "write" log line.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include "opcsim/group.h"

// What a read of the group's item gives, without a log line: the result is the item's error; when the
// item can be read, its value converted to the requested type, its quality and timestamp (else an empty
// value, bad quality, no time). `moveSignal`: the item's signal moves on first.
HRESULT GroupItemValue(Group& group, SimMethod method, const GroupItem& item, bool moveSignal, VARIANT& value,
                       WORD& quality, FILETIME& time);

// The value (into an empty VARIANT), quality, timestamp and client handle of the item; the result is
// the item's error. Cache reads of an inactive item or group give OPC_QUALITY_OUT_OF_SERVICE.
HRESULT ReadGroupItem(Group& group, SimMethod method, OPCHANDLE hServer, bool fromDevice, VARIANT& value,
                      WORD& quality, FILETIME& time, OPCHANDLE& hClient);

// Writes to the device; the item's error (the scenario's item error for `method` wins).
HRESULT WriteGroupItem(Group& group, SimMethod method, OPCHANDLE hServer, const VARIANT& value,
                       OPCHANDLE& hClient);

// The scenario's item error of `method` for the item behind the handle (S_OK for none or an unknown handle).
HRESULT GroupItemError(Group& group, SimMethod method, OPCHANDLE hServer);

// Whether a data callback is advised on the group (every IOPCAsyncIO2 call needs one).
bool HasDataSink(const Group& group);
