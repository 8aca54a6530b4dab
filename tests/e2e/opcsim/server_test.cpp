// The server object: status, groups, error texts and the flat address space.
#include <algorithm>

#include "idl/opc_constants.h"
#include "tests/e2e/opcsim/sim_session.h"
#include "tests/support/sim_items.h"

using ServerObjectTest = SimSession;

TEST_F(ServerObjectTest, GetStatusReportsRunningWithVendorAndVersion)
{
    ASSERT_TRUE(Connect(StandardSim()));
    OPCSERVERSTATUS* status = reinterpret_cast<OPCSERVERSTATUS*>(0xDEADBEEF);
    ASSERT_EQ(server->GetStatus(&status), S_OK);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->dwServerState, OPC_STATUS_RUNNING);
    EXPECT_EQ(status->wMajorVersion, 2);
    EXPECT_EQ(status->dwGroupCount, 0u);
    EXPECT_STREQ(status->szVendorInfo, L"tagport simulation server");
    CoTaskMemFree(status->szVendorInfo);
    CoTaskMemFree(status);
    EXPECT_TRUE(WaitForSimLog(StandardSim(), "call GetStatus state=1 hr=0x00000000", 1, 5000));
}

TEST_F(ServerObjectTest, AddGroupRevisesTooFastRatesAndRefusesDuplicateNames)
{
    ASSERT_TRUE(Connect(StandardSim()));
    ASSERT_TRUE(CreateGroup(L"Plant", false));
    EXPECT_NE(groupHandle, 0u);

    LONG bias = 0;
    DWORD revised = 0xDEADBEEF;
    OPCHANDLE handle = 0xDEADBEEF;
    IUnknown* second = nullptr;
    EXPECT_EQ(server->AddGroup(L"Plant", TRUE, 1000, 8, &bias, nullptr, 0x800, &handle, &revised,
                               IID_IOPCItemMgt, &second),
              OPC_E_DUPLICATENAME);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(handle, 0u);

    ASSERT_EQ(server->AddGroup(L"", TRUE, 0, 8, nullptr, nullptr, 0x409, &handle, &revised, IID_IOPCItemMgt,
                               &second),
              OPC_S_UNSUPPORTEDRATE);
    held.push_back(second);
    EXPECT_EQ(revised, 10u); // the fastest rate of the default scenario
    EXPECT_NE(handle, groupHandle);
    std::vector<std::string> lines = SimLogLines(StandardSim(), "call AddGroup name=Plant ");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "call AddGroup name=Plant active=0 rate=86400000 revised=86400000 client=7 bias=0 deadband=none "
        "lcid=0x0800 hr=0x00000000");
}

TEST_F(ServerObjectTest, RemoveGroupStillHeldByTheClientIsInUse)
{
    ASSERT_TRUE(Connect(StandardSim()));
    ASSERT_TRUE(CreateGroup(L"Held", true));
    EXPECT_EQ(server->RemoveGroup(groupHandle, FALSE), OPC_S_INUSE);
    EXPECT_EQ(server->RemoveGroup(groupHandle, FALSE), E_INVALIDARG); // no longer the server's
}

TEST_F(ServerObjectTest, ErrorStringsNameOpcCodes)
{
    ASSERT_TRUE(Connect(StandardSim()));
    LPWSTR text = nullptr;
    ASSERT_EQ(server->GetErrorString(OPC_E_UNKNOWNITEMID, 0x409, &text), S_OK);
    EXPECT_STREQ(text, L"The item is no longer available in the server address space.");
    CoTaskMemFree(text);
    IOPCCommon* common = nullptr;
    ASSERT_EQ(server->QueryInterface(IID_IOPCCommon, reinterpret_cast<void**>(&common)), S_OK);
    held.push_back(common);
    EXPECT_EQ(common->SetLocaleID(0x409), S_OK);
    EXPECT_EQ(common->SetLocaleID(0x0407), E_INVALIDARG);
    ASSERT_EQ(common->GetErrorString(OPC_E_BADRIGHTS, &text), S_OK);
    EXPECT_STREQ(text, L"The item's access rights do not allow the operation.");
    CoTaskMemFree(text);
}

struct BrowseCase {
    const wchar_t* filter;
    VARTYPE type;
    DWORD rights;
    std::vector<std::wstring> expected;
    HRESULT hr;
};

TEST_F(ServerObjectTest, BrowseListsTheFlatSpaceByFilterTypeAndRights)
{
    ASSERT_TRUE(Connect(StandardSim()));
    IOPCBrowseServerAddressSpace* browse = nullptr;
    ASSERT_EQ(server->QueryInterface(IID_IOPCBrowseServerAddressSpace, reinterpret_cast<void**>(&browse)),
              S_OK);
    held.push_back(browse);
    OPCNAMESPACETYPE space = OPC_NS_HIERARCHIAL;
    ASSERT_EQ(browse->QueryOrganization(&space), S_OK);
    EXPECT_EQ(space, OPC_NS_FLAT);
    const BrowseCase cases[] = {
        {L"Sim.R*", VT_EMPTY, 0, {L"Sim.R4", L"Sim.R8", L"Sim.R8Array", L"Sim.ReadOnly", L"Sim.Ramp"}, S_OK},
        {L"Sim.R*", VT_EMPTY, OPC_WRITEABLE, {L"Sim.R4", L"Sim.R8", L"Sim.R8Array"}, S_OK},
        {L"*", VT_ARRAY | VT_I4, 0, {L"Sim.I4Matrix"}, S_OK},
        {L"Sim.?1", VT_EMPTY, 0, {L"Sim.I1"}, S_OK},
        {L"Nothing*", VT_EMPTY, 0, {}, S_FALSE},
    };
    for (const BrowseCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "filter " << std::string(c.filter, c.filter + wcslen(c.filter)));
        IEnumString* names = nullptr;
        ASSERT_EQ(browse->BrowseOPCItemIDs(OPC_FLAT, c.filter, c.type, c.rights, &names), c.hr);
        std::vector<std::wstring> got;
        LPOLESTR name = nullptr;
        ULONG fetched = 0;
        while (names->Next(1, &name, &fetched) == S_OK) {
            got.push_back(name);
            CoTaskMemFree(name);
        }
        names->Release();
        EXPECT_EQ(got, c.expected);
    }
}
