// The simulated device: the scenario's items with their current value, quality and timestamp,
// shared by every client of the server process.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "opcsim/scenario.h"

struct ItemState {
    const SimItem* def = nullptr;
    VARIANT value{}; // canonical type
    WORD quality = 0;
    FILETIME timestamp{};
    // Counts the changes of value or quality (from 1), so that a group tells what it has not sent yet
    // without keeping copies of the values it sent.
    ULONGLONG version = 1;
};

struct AddressSpace {
    std::vector<ItemState> items{};
    std::unordered_map<std::wstring, size_t> byItemId{}; // a scenario may declare tens of thousands of items
    ULONGLONG startTick = 0;
    unsigned randomState = 12345;
};

void InitAddressSpace(AddressSpace& space, const Scenario& scenario);
void ReleaseAddressSpace(AddressSpace& space);                  // safe to repeat
int FindItem(const AddressSpace& space, const wchar_t* itemId); // -1 when the ItemId is unknown

// The item's signal, if it has one, moves on to the present (the version counts it when the value changes).
// Signals of items nobody can read stand still, so they never show as changed.
void MoveSignal(AddressSpace& space, size_t index);

// A device read moves signals on and updates the item; a cache read returns what the item holds.
// Both copy the value into `value` (which must be empty), converted to `requested` (VT_EMPTY: canonical).
HRESULT ReadItem(AddressSpace& space, size_t index, bool fromDevice, VARTYPE requested, LCID lcid,
                 VARIANT& value);

// Checks the rights, converts to the canonical type and stores: S_OK, OPC_E_BADRIGHTS or OPC_E_BADTYPE.
// Every write counts as a change, also of the same value: the device took a new value at a new time.
HRESULT WriteItem(AddressSpace& space, size_t index, const VARIANT& value, LCID lcid);

// VT_EMPTY means "no conversion"; arrays convert element by element, keeping their bounds.
HRESULT ConvertValue(const VARIANT& in, VARTYPE requested, LCID lcid, VARIANT& out);
