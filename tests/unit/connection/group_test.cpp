// CreateGroup and ReleaseGroup against an in-process fake server: the group's parameters, the I/O
// interface of each mode, the items, and every failure text.

#include <string>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "connection/group.h"
#include "hostrt/core.h"
#include "idl/opc_constants.h"
#include "tests/support/fake_opc.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

constexpr wchar_t kSentinel[] = L"sentinel";

class Group : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        drv->server = &server;
        CopyText(kLastErrorMax, drv->lastError, 8, kSentinel);
    }
    void TearDown() override
    {
        ReleaseGroup(*drv);
        drv->server = nullptr;
        EXPECT_EQ(group().refs, 0) << "every group reference given back";
        EXPECT_EQ(drv->dataSink.refs, 0);
        DriverRecordTest::TearDown();
    }

    FakeGroup& group() { return server.group; }

    bool Create(bool asyncMode)
    {
        fallBack = !asyncMode; // proves that CreateGroup sets it in every case
        return CreateGroup(*drv, asyncMode, fallBack);
    }

    FakeServer server;
    bool fallBack = false;
};

TEST_F(Group, DefaultRateMakesAnInactiveGroupWithTheDesignsParameters)
{
    AddTestChannel(1);
    ASSERT_TRUE(Create(true));
    AddGroupCall call = server.LastAddGroup();
    EXPECT_EQ(call.name, L"OVGroup");
    EXPECT_EQ(call.active, FALSE);
    EXPECT_EQ(call.rate, 86400000u);
    EXPECT_EQ(call.clientHandle, 1u);
    EXPECT_TRUE(call.timeBiasGiven);
    EXPECT_EQ(call.timeBias, 0);
    EXPECT_FALSE(call.deadbandGiven);
    EXPECT_EQ(call.locale, 0x800u);
    EXPECT_TRUE(IsEqualIID(call.iid, IID_IOPCItemMgt));
    EXPECT_EQ(drv->groupHandle, FakeServer::kServerGroupHandle);
    EXPECT_FALSE(fallBack);
}

TEST_F(Group, AFileRateMakesAnActiveGroupWithThatRate)
{
    AddTestChannel(1);
    drv->updateRateMs = 500;
    ASSERT_TRUE(Create(false));
    EXPECT_EQ(server.LastAddGroup().active, TRUE);
    EXPECT_EQ(server.LastAddGroup().rate, 500u);
}

TEST_F(Group, UnsupportedRateIsAccepted)
{
    AddTestChannel(1);
    server.addGroupResult = OPC_S_UNSUPPORTEDRATE;
    EXPECT_TRUE(Create(false));
}

struct AddGroupFailure {
    const char* name;
    HRESULT result;
    bool givesGroup;
};

TEST_F(Group, AddGroupFailsOnEveryOtherResultAndOnAMissingGroup)
{
    const AddGroupFailure cases[] = {
        {"E_FAIL", E_FAIL, false},
        {"S_FALSE", S_FALSE, true},
        {"OPC_E_DUPLICATENAME", OPC_E_DUPLICATENAME, false},
        {"S_OK without a group", S_OK, false},
    };
    AddTestChannel(1);
    for (const AddGroupFailure& row : cases) {
        SCOPED_TRACE(row.name);
        server.addGroupResult = row.result;
        server.addGroupGivesGroup = row.givesGroup;
        EXPECT_FALSE(Create(true));
        EXPECT_FALSE(fallBack);
        EXPECT_STREQ(drv->lastError, L"Cannot create group on OPC server (server specific error)");
        EXPECT_EQ(drv->itemMgt, nullptr);
        EXPECT_EQ(group().refs, 0) << "a group that came with a refused result is released";
    }
}

TEST_F(Group, NoServerFailsWithTheServerText)
{
    AddTestChannel(1);
    drv->server = nullptr;
    EXPECT_FALSE(Create(true));
    EXPECT_FALSE(fallBack);
    EXPECT_STREQ(drv->lastError, L"Cannot create specified OPC server instance");
}

TEST_F(Group, AsynchronousModeAdvisesTheDataCallback)
{
    AddTestChannel(1);
    ASSERT_TRUE(Create(true));
    EXPECT_NE(drv->asyncIo, nullptr);
    EXPECT_EQ(drv->syncIo, nullptr);
    EXPECT_TRUE(HasFlag(*drv, DataAdvised));
    EXPECT_EQ(drv->dataCookie, FakeConnectionPoint::kCookie);
    EXPECT_EQ(drv->dataSink.refs, 1) << "held by the connection point";
    ReleaseGroup(*drv);
    EXPECT_EQ(group().dataPoint.unadvisedCookie, FakeConnectionPoint::kCookie);
    EXPECT_FALSE(HasFlag(*drv, DataAdvised));
}

TEST_F(Group, AGroupWithoutAsyncIo2FallsBackLeavingLastErrorAndTheGroup)
{
    AddTestChannel(1);
    group().offerAsyncIo = false;
    EXPECT_FALSE(Create(true));
    EXPECT_TRUE(fallBack);
    EXPECT_STREQ(drv->lastError, kSentinel);
    EXPECT_NE(drv->itemMgt, nullptr) << "released by the caller";
    EXPECT_TRUE(group().ItemDefs().empty());
}

TEST_F(Group, ARefusedDataCallbackFallsBackInsteadOfFailingEveryBatch)
{
    AddTestChannel(1);
    group().dataPoint.adviseResult = CONNECT_E_ADVISELIMIT;
    EXPECT_FALSE(Create(true));
    EXPECT_TRUE(fallBack);
    EXPECT_STREQ(drv->lastError, kSentinel);
    EXPECT_FALSE(HasFlag(*drv, DataAdvised));
    ReleaseGroup(*drv);
    EXPECT_EQ(group().dataPoint.unadviseCalls, 0) << "nothing was advised";
}

// With subscribe the worker's apartment receives the data changes: the synchronous group advises too,
// and a server that refuses has no fall-back left.
TEST_F(Group, SubscribeAdvisesTheDataCallbackInSynchronousModeAndARefusalFails)
{
    AddTestChannel(1);
    SetFlag(*drv, Subscribe);
    ASSERT_TRUE(Create(false));
    EXPECT_NE(drv->syncIo, nullptr);
    EXPECT_EQ(drv->asyncIo, nullptr);
    EXPECT_TRUE(HasFlag(*drv, DataAdvised));
    ReleaseGroup(*drv);
    EXPECT_EQ(group().dataPoint.unadvisedCookie, FakeConnectionPoint::kCookie);
    group().dataPoint.adviseResult = CONNECT_E_ADVISELIMIT;
    EXPECT_FALSE(Create(false));
    EXPECT_FALSE(fallBack);
    EXPECT_STREQ(drv->lastError, L"The server refuses the IOPCDataCallback connection that subscribe needs");
}

struct InterfaceFailure {
    const char* name;
    bool asyncMode;
    bool FakeGroup::*withheld;
    const wchar_t* text;
};

TEST_F(Group, MissingInterfacesFailWithTheirTexts)
{
    const InterfaceFailure cases[] = {
        {"no IConnectionPointContainer", true, &FakeGroup::offerPoints,
         L"OPC server does not comply to OPC Data Access v2 specifications"},
        {"no data callback point", true, &FakeGroup::offerDataPoint,
         L"The server does not provide IOPCDataCallback connection point (server does not conform to OPC v2 "
         L"specifications)"},
        {"no IOPCSyncIO", false, &FakeGroup::offerSyncIo,
         L"Cannot query either asynchronous or synchronous server interface (server specific error)"},
    };
    AddTestChannel(1);
    for (const InterfaceFailure& row : cases) {
        SCOPED_TRACE(row.name);
        group().*row.withheld = false;
        EXPECT_FALSE(Create(row.asyncMode));
        EXPECT_FALSE(fallBack);
        EXPECT_STREQ(drv->lastError, row.text);
        ReleaseGroup(*drv);
        group().*row.withheld = true;
    }
}

TEST_F(Group, ItemsAreDefinedInChannelOrderWithEmptyAccessPathActiveAndTheFirstNumberAsClientHandle)
{
    AddTestChannel(20);
    AddTestChannel(1, 5);
    AddTestChannel(10);
    ASSERT_TRUE(Create(false));
    std::vector<ItemDefCopy> defs = group().ItemDefs();
    ASSERT_EQ(defs.size(), 3u);
    const OPCHANDLE clients[] = {1, 10, 20};
    for (std::size_t i = 0; i < defs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(defs[i].accessPathNull);
        EXPECT_EQ(defs[i].accessPath, L"");
        EXPECT_EQ(defs[i].itemId, L"item" + std::to_wstring(clients[i]));
        EXPECT_EQ(defs[i].active, TRUE);
        EXPECT_EQ(defs[i].client, clients[i]);
        EXPECT_EQ(defs[i].blobSize, 0u);
        EXPECT_TRUE(defs[i].blobNull);
        EXPECT_EQ(defs[i].requestedType, VT_EMPTY);
        EXPECT_EQ(defs[i].reserved, 0);
    }
}

TEST_F(Group, AcceptedItemsBindEveryChannel)
{
    AddTestChannel(7);
    AddTestChannel(3, 2);
    group().canonicalType = VT_R8;
    group().accessRights = 1;
    ASSERT_TRUE(Create(true));
    Channel* range = FindChannel(drv->channels, 3);
    Channel* scalar = FindChannel(drv->channels, 7);
    EXPECT_EQ(range->serverHandle, FakeGroup::kFirstServerHandle);
    EXPECT_EQ(scalar->serverHandle, FakeGroup::kFirstServerHandle + 1);
    EXPECT_EQ(scalar->dataType, VT_R8);
    EXPECT_EQ(scalar->accessRights, 1u);
}

struct ItemFailure {
    const char* name;
    HRESULT result;
    std::vector<HRESULT> errors;
    bool returnErrors;
    bool returnResults;
    const wchar_t* text;
};

TEST_F(Group, RefusedItemsBindNothingAndNameTheFirstRefusedChannel)
{
    const wchar_t* generic = L"Cannot create channel specified in PAR file (error in PAR file)";
    const ItemFailure cases[] = {
        {"third refused",
         S_FALSE,
         {S_OK, S_OK, OPC_E_UNKNOWNITEMID},
         true,
         true,
         L"Cannot create channel specified in PAR file number: 40"},
        {"range refused: its first number",
         S_FALSE,
         {S_OK, OPC_E_BADTYPE, OPC_E_UNKNOWNITEMID},
         true,
         true,
         L"Cannot create channel specified in PAR file number: 17"},
        {"a success code counts as refused",
         S_FALSE,
         {OPC_S_CLAMP},
         true,
         true,
         L"Cannot create channel specified in PAR file number: 4"},
        {"S_FALSE with every entry S_OK", S_FALSE, {}, true, true, generic},
        {"S_FALSE without errors", S_FALSE, {S_OK, S_OK, E_FAIL}, false, true, generic},
        {"whole call failed", E_FAIL, {}, true, false, generic},
        {"S_OK without results", S_OK, {}, true, false, generic},
    };
    AddTestChannel(40);
    AddTestChannel(4);
    AddTestChannel(17, 3);
    for (const ItemFailure& row : cases) {
        SCOPED_TRACE(row.name);
        for (std::uint32_t number : {4u, 17u, 40u})
            FindChannel(drv->channels, number)->serverHandle = 0xDEADBEEF;
        group().addItemsResult = row.result;
        group().itemErrors = row.errors;
        group().returnErrors = row.returnErrors;
        group().returnResults = row.returnResults;
        EXPECT_FALSE(Create(false));
        EXPECT_STREQ(drv->lastError, row.text);
        for (std::uint32_t number : {4u, 17u, 40u})
            EXPECT_EQ(FindChannel(drv->channels, number)->serverHandle, 0xDEADBEEFu) << number;
        ReleaseGroup(*drv);
    }
}

TEST_F(Group, ReleaseGivesBackEveryInterfaceOnceAndIsSafeToRepeat)
{
    AddTestChannel(1);
    ASSERT_TRUE(Create(true));
    EXPECT_GT(group().refs, 0);
    ReleaseGroup(*drv);
    EXPECT_EQ(group().refs, 0);
    EXPECT_EQ(group().dataPoint.refs, 0);
    EXPECT_EQ(group().dataPoint.unadviseCalls, 1);
    ReleaseGroup(*drv);
    EXPECT_EQ(group().dataPoint.unadviseCalls, 1);
    EXPECT_EQ(drv->itemMgt, nullptr);
    EXPECT_EQ(drv->asyncIo, nullptr);
    EXPECT_EQ(drv->groupPoints, nullptr);
    EXPECT_EQ(drv->dataPoint, nullptr);
}

TEST_F(Group, ReleasingTheSynchronousInterfaceReleasesItsBatches)
{
    AddTestChannel(1);
    ASSERT_TRUE(Create(false));
    drv->syncReadCount = 1;
    ASSERT_TRUE(AllocBlock(drv->syncReadHandles, 4));
    drv->syncWriteCount = 1;
    ASSERT_TRUE(AllocBlock(drv->syncWriteChannels, 4));
    ReleaseGroup(*drv);
    EXPECT_EQ(drv->syncIo, nullptr);
    EXPECT_EQ(drv->syncReadHandles, nullptr);
    EXPECT_EQ(drv->syncWriteChannels, nullptr);
}

} // namespace
