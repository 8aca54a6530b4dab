#pragma once
// A raw OPC client for the tests: COM on the test thread, one server object of a registered scenario,
// a group and its items, all released in reverse order by the fixture.

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "opcda.h"
#include "tests/support/sim_control.h"

// The scenario of every standard item (tests/support/sim_items.h), registered once for the program.
const SimServer& StandardSim();

struct AddedItems {
    std::vector<OPCHANDLE> servers{};
    std::vector<HRESULT> errors{};
    std::vector<VARTYPE> canonical{};
    std::vector<DWORD> access{};
    HRESULT hr = E_FAIL;
};

// Client handles are 100 + the item's index in the call.
AddedItems AddItems(IOPCItemMgt* items, const std::vector<std::string>& itemIds, bool active);

// A rate at which no periodic OnDataChange comes during a test: a day.
constexpr DWORD kQuietRateMs = 86400000;

// AddGroup with client handle 7 and locale 0x800; the group's IOPCItemMgt in *group.
HRESULT AddTestGroup(IOPCServer* server, const wchar_t* name, bool active, DWORD rateMs, IOPCItemMgt** group,
                     OPCHANDLE* handle);

class SimSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the server object of `sim` (launching the server if needed).
    ::testing::AssertionResult Connect(const SimServer& sim);
    // AddTestGroup with the given activity at kQuietRateMs, into itemMgt and groupHandle.
    ::testing::AssertionResult CreateGroup(const wchar_t* name, bool active);
    template <class I> I* GroupAs(REFIID iid)
    {
        I* out = nullptr;
        return SUCCEEDED(itemMgt->QueryInterface(iid, reinterpret_cast<void**>(&out))) ? out : nullptr;
    }

    IOPCServer* server = nullptr;
    IOPCItemMgt* itemMgt = nullptr;
    OPCHANDLE groupHandle = 0;
    std::vector<IUnknown*> held{}; // further interfaces, released before the group
};

// A call in progress when its server died.
constexpr HRESULT RPC_S_CALL_FAILED_HR = static_cast<HRESULT>(0x800706BE);

std::string Text(const VARIANT& value); // the value in scenario syntax
std::string Dims(const VARIANT& value); // the bounds of an array value ("2,3")
