// IOPCSyncIO: the values of every type, cache against device reads, and writes as the log shows them.
#include "idl/opc_constants.h"
#include "tests/e2e/opcsim/sim_session.h"
#include "tests/support/sim_items.h"

namespace {

struct ReadResult {
    HRESULT hr = E_FAIL;
    std::vector<std::string> texts{};
    std::vector<std::string> dims{};
    std::vector<VARTYPE> types{};
    std::vector<WORD> qualities{};
    std::vector<FILETIME> times{};
    std::vector<OPCHANDLE> clients{};
    std::vector<HRESULT> errors{};
};

ReadResult SyncRead(IOPCSyncIO* io, OPCDATASOURCE source, const std::vector<OPCHANDLE>& handles)
{
    ReadResult r;
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    r.hr = io->Read(source, static_cast<DWORD>(handles.size()), const_cast<OPCHANDLE*>(handles.data()),
                    &states, &errors);
    for (size_t i = 0; states != nullptr && i < handles.size(); ++i) {
        r.texts.push_back(Text(states[i].vDataValue));
        r.dims.push_back(Dims(states[i].vDataValue));
        r.types.push_back(V_VT(&states[i].vDataValue));
        r.qualities.push_back(states[i].wQuality);
        r.times.push_back(states[i].ftTimeStamp);
        r.clients.push_back(states[i].hClient);
        r.errors.push_back(errors[i]);
        VariantClear(&states[i].vDataValue);
    }
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
    return r;
}

} // namespace

class SyncIoTest : public SimSession {
protected:
    void Open(bool groupActive, bool itemsActive, const std::vector<std::string>& itemIds)
    {
        ASSERT_TRUE(Connect(StandardSim()));
        ASSERT_TRUE(CreateGroup(groupActive ? L"SyncActive" : L"SyncInactive", groupActive));
        added = AddItems(itemMgt, itemIds, itemsActive);
        ASSERT_EQ(added.hr, S_OK);
        io = GroupAs<IOPCSyncIO>(IID_IOPCSyncIO);
        ASSERT_NE(io, nullptr);
        held.push_back(io);
    }
    AddedItems added{};
    IOPCSyncIO* io = nullptr;
};

struct TypeCase {
    const char* itemId;
    VARTYPE vt;
    const char* text;
    const char* dims;
};

TEST_F(SyncIoTest, DeviceReadDeliversEveryTypeInItsCanonicalForm)
{
    const TypeCase cases[] = {
        {kSimItemI1, VT_I1, "-12", ""},
        {kSimItemI2, VT_I2, "-1234", ""},
        {kSimItemI4, VT_I4, "123456", ""},
        {kSimItemI8, VT_I8, "-9007199254740993", ""},
        {kSimItemUI1, VT_UI1, "200", ""},
        {kSimItemUI2, VT_UI2, "60000", ""},
        {kSimItemUI4, VT_UI4, "4000000000", ""},
        {kSimItemUI8, VT_UI8, "18446744073709551615", ""},
        {kSimItemInt, VT_INT, "-7", ""},
        {kSimItemUInt, VT_UINT, "7", ""},
        {kSimItemR4, VT_R4, "1.5", ""},
        {kSimItemR8, VT_R8, "2.25", ""},
        {kSimItemBool, VT_BOOL, "true", ""},
        {kSimItemText, VT_BSTR, "\"hello plant\"", ""},
        {kSimItemCy, VT_CY, "1234.5678", ""},
        {kSimItemDate, VT_DATE, "2024-05-17T13:44:59", ""},
        {kSimItemDecimal, VT_DECIMAL, "12345678901234567890.25", ""},
        {kSimItemError, VT_ERROR, "0x80004005", ""},
        {kSimItemR8Array, VT_ARRAY | VT_R8, "{1 2 3 4 5}", "5"},
        {kSimItemI4Matrix, VT_ARRAY | VT_I4, "{1 2 3 4 5 6}", "2,3"},
        {kSimItemTextArray, VT_ARRAY | VT_BSTR, "{\"alpha\" \"b c\" \"\"}", "3"},
    };
    std::vector<std::string> ids;
    for (const TypeCase& c : cases)
        ids.push_back(c.itemId);
    Open(false, true, ids);
    if (HasFatalFailure()) return;
    ReadResult r = SyncRead(io, OPC_DS_DEVICE, added.servers);
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_EQ(r.texts.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        EXPECT_EQ(added.canonical[i], cases[i].vt);
        EXPECT_EQ(r.types[i], cases[i].vt);
        EXPECT_EQ(r.texts[i], cases[i].text);
        EXPECT_EQ(r.dims[i], cases[i].dims);
        EXPECT_EQ(r.qualities[i], OPC_QUALITY_GOOD);
        EXPECT_EQ(r.clients[i], 100 + i);
        // 2024-05-17T13:44:59.123 UTC
        EXPECT_EQ((static_cast<ULONGLONG>(r.times[i].dwHighDateTime) << 32) | r.times[i].dwLowDateTime,
                  133604270991230000ULL);
    }
}

struct SourceCase {
    bool groupActive;
    bool itemActive;
    OPCDATASOURCE source;
    WORD quality;
};

TEST_F(SyncIoTest, CacheReadsOfInactiveGroupsOrItemsAreOutOfServiceDeviceReadsNever)
{
    const SourceCase cases[] = {
        {true, true, OPC_DS_CACHE, OPC_QUALITY_GOOD},
        {true, false, OPC_DS_CACHE, OPC_QUALITY_OUT_OF_SERVICE},
        {false, true, OPC_DS_CACHE, OPC_QUALITY_OUT_OF_SERVICE},
        {false, false, OPC_DS_DEVICE, OPC_QUALITY_GOOD},
        {true, false, OPC_DS_DEVICE, OPC_QUALITY_GOOD},
    };
    for (const SourceCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "group " << c.groupActive << " item " << c.itemActive << " source " << c.source);
        TearDown();
        SetUp();
        Open(c.groupActive, c.itemActive, {kSimItemR8});
        ReadResult r = SyncRead(io, c.source, added.servers);
        ASSERT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.qualities[0], c.quality);
        EXPECT_EQ(r.texts[0], "2.25");
    }
    std::vector<std::string> reads =
        SimLogLines(StandardSim(), "call SyncRead group=SyncActive source=cache count=1");
    EXPECT_EQ(reads.size(), 2u);
}

TEST_F(SyncIoTest, PerItemErrorsMakeTheReadSFalse)
{
    Open(true, true, {kSimItemR8, kSimItemWriteOnly});
    if (HasFatalFailure()) return;
    std::vector<OPCHANDLE> handles = added.servers;
    handles.push_back(0xBAD);
    ReadResult r = SyncRead(io, OPC_DS_DEVICE, handles);
    ASSERT_EQ(r.hr, S_FALSE);
    EXPECT_EQ(r.errors, (std::vector<HRESULT>{S_OK, OPC_E_BADRIGHTS, OPC_E_INVALIDHANDLE}));
    EXPECT_EQ(r.types[1], VT_EMPTY);
    EXPECT_EQ(r.qualities[2], OPC_QUALITY_BAD);
    EXPECT_EQ(r.qualities[0], OPC_QUALITY_GOOD);
}

TEST_F(SyncIoTest, WritesAreLoggedAsReceivedAndStoredInTheCanonicalType)
{
    Open(true, true, {kSimItemUI2, kSimItemI4Matrix, kSimItemReadOnly, kSimItemR4});
    if (HasFatalFailure()) return;
    VARIANT values[4];
    for (VARIANT& v : values)
        VariantInit(&v);
    V_VT(&values[0]) = VT_R8; // converted to the item's VT_UI2
    V_R8(&values[0]) = 42.0;
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
    SAFEARRAY* sa = SafeArrayCreate(VT_R8, 2, bounds);
    double* data = nullptr;
    SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    for (int i = 0; i < 6; ++i)
        data[i] = 10.0 * (i + 1);
    SafeArrayUnaccessData(sa);
    V_VT(&values[1]) = VT_ARRAY | VT_R8;
    V_ARRAY(&values[1]) = sa;
    V_VT(&values[2]) = VT_I4;
    V_I4(&values[2]) = 5;
    V_VT(&values[3]) = VT_BSTR;
    V_BSTR(&values[3]) = SysAllocString(L"not a number");
    HRESULT* errors = nullptr;
    ASSERT_EQ(io->Write(4, added.servers.data(), values, &errors), S_FALSE);
    EXPECT_EQ(errors[0], S_OK);
    EXPECT_EQ(errors[1], S_OK);
    EXPECT_EQ(errors[2], OPC_E_BADRIGHTS);
    EXPECT_EQ(errors[3], OPC_E_BADTYPE);
    CoTaskMemFree(errors);
    for (VARIANT& v : values)
        VariantClear(&v);

    std::vector<std::string> writes = SimLogLines(StandardSim(), "write ");
    ASSERT_GE(writes.size(), 4u);
    std::vector<std::string> last(writes.end() - 4, writes.end());
    EXPECT_EQ(last[0], "write Sim.UI2 vt=5 value=42 hr=0x00000000");
    EXPECT_EQ(last[1], "write Sim.I4Matrix vt=8197 dims=2,3 value={10 20 30 40 50 60} hr=0x00000000");
    EXPECT_EQ(last[2], "write Sim.ReadOnly vt=3 value=5 hr=0xC0040006");
    EXPECT_EQ(last[3], "write Sim.R4 vt=8 value=\"not a number\" hr=0xC0040004");

    ReadResult r = SyncRead(io, OPC_DS_DEVICE, {added.servers[0], added.servers[1]});
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.types[0], VT_UI2);
    EXPECT_EQ(r.texts[0], "42");
    EXPECT_EQ(r.types[1], VT_ARRAY | VT_I4);
    EXPECT_EQ(r.texts[1], "{10 20 30 40 50 60}");
    EXPECT_EQ(r.dims[1], "2,3");

    // Later clients of the same server process read what was written: restore the standard values.
    VARIANT restore[2];
    VariantInit(&restore[0]);
    VariantInit(&restore[1]);
    V_VT(&restore[0]) = VT_UI2;
    V_UI2(&restore[0]) = 60000;
    sa = SafeArrayCreate(VT_I4, 2, bounds);
    LONG* ints = nullptr;
    SafeArrayAccessData(sa, reinterpret_cast<void**>(&ints));
    for (int i = 0; i < 6; ++i)
        ints[i] = i + 1;
    SafeArrayUnaccessData(sa);
    V_VT(&restore[1]) = VT_ARRAY | VT_I4;
    V_ARRAY(&restore[1]) = sa;
    ASSERT_EQ(io->Write(2, added.servers.data(), restore, &errors), S_OK);
    CoTaskMemFree(errors);
    VariantClear(&restore[0]);
    VariantClear(&restore[1]);
}
