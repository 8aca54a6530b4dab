#include "tests/e2e/opcsim/sim_session.h"

#include "opcsim/value_text.h"
#include "tests/support/sim_items.h"

namespace {

SimServer g_standard;

class StandardSimEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(RegisterSimScenario(std::string(kSimStandardItems), g_standard)); }
    void TearDown() override { UnregisterSimScenario(g_standard); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new StandardSimEnvironment);

} // namespace

const SimServer& StandardSim()
{
    return g_standard;
}

AddedItems AddItems(IOPCItemMgt* items, const std::vector<std::string>& itemIds, bool active)
{
    std::vector<std::wstring> ids;
    for (const std::string& id : itemIds)
        ids.push_back(std::wstring(id.begin(), id.end()));
    std::vector<OPCITEMDEF> defs(ids.size());
    wchar_t emptyPath[] = L"";
    for (size_t i = 0; i < ids.size(); ++i) {
        defs[i].szAccessPath = emptyPath;
        defs[i].szItemID = const_cast<LPWSTR>(ids[i].c_str()); // the IDL lacks const
        defs[i].bActive = active ? TRUE : FALSE;
        defs[i].hClient = static_cast<OPCHANDLE>(100 + i);
        defs[i].vtRequestedDataType = VT_EMPTY;
    }
    AddedItems added;
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    added.hr = items->AddItems(static_cast<DWORD>(defs.size()), defs.data(), &results, &errors);
    for (size_t i = 0; results != nullptr && errors != nullptr && i < defs.size(); ++i) {
        added.servers.push_back(results[i].hServer);
        added.errors.push_back(errors[i]);
        added.canonical.push_back(results[i].vtCanonicalDataType);
        added.access.push_back(results[i].dwAccessRights);
        CoTaskMemFree(results[i].pBlob);
    }
    CoTaskMemFree(results);
    CoTaskMemFree(errors);
    return added;
}

void SimSession::SetUp()
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
}

void SimSession::TearDown()
{
    for (IUnknown* p : held)
        p->Release();
    held.clear();
    if (itemMgt != nullptr) itemMgt->Release();
    itemMgt = nullptr;
    if (server != nullptr) server->Release();
    server = nullptr;
    CoUninitialize();
}

::testing::AssertionResult SimSession::Connect(const SimServer& sim)
{
    HRESULT hr = CoCreateInstance(sim.clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                  IID_IOPCServer, reinterpret_cast<void**>(&server));
    if (hr != S_OK) return ::testing::AssertionFailure() << "CoCreateInstance: 0x" << std::hex << hr;
    return ::testing::AssertionSuccess();
}

HRESULT AddTestGroup(IOPCServer* server, const wchar_t* name, bool active, DWORD rateMs, IOPCItemMgt** group,
                     OPCHANDLE* handle)
{
    LONG bias = 0;
    DWORD revised = 0;
    return server->AddGroup(name, active ? TRUE : FALSE, rateMs, 7, &bias, nullptr, 0x800, handle, &revised,
                            IID_IOPCItemMgt, reinterpret_cast<IUnknown**>(group));
}

::testing::AssertionResult SimSession::CreateGroup(const wchar_t* name, bool active)
{
    HRESULT hr = AddTestGroup(server, name, active, kQuietRateMs, &itemMgt, &groupHandle);
    if (hr != S_OK) return ::testing::AssertionFailure() << "AddGroup: 0x" << std::hex << hr;
    return ::testing::AssertionSuccess();
}

std::string Text(const VARIANT& value)
{
    return FormatValue(value);
}
std::string Dims(const VARIANT& value)
{
    return FormatDims(value);
}
