// The listing of another machine's servers from its server list object, without the remote activation
// that cannot happen here: categories, details, order, and what the list is asked and given back.
#include <gtest/gtest.h>

#include <objbase.h>

#include "idl/opc_constants.h"
#include "opcda.h"
#include "tools/tagprobe/server_list.h"

namespace {

constexpr GUID kServerA = {0xA0000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr GUID kServerB = {0xB0000002, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
constexpr GUID kServerC = {0xC0000003, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};

// Hands out its CLSIDs two at a time, as a server list may, and counts its references.
struct FakeClassEnum : IEnumGUID {
    std::vector<GUID> classes{};
    std::size_t next = 0;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, GUID* rgelt, ULONG* fetched) override
    {
        ULONG n = 0;
        while (n < celt && n < 2 && next < classes.size())
            rgelt[n++] = classes[next++];
        *fetched = n;
        return n == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumGUID**) override { return E_NOTIMPL; }
};

LPOLESTR TaskText(const wchar_t* text)
{
    if (text == nullptr) return nullptr;
    std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    memcpy(copy, text, bytes);
    return copy;
}

// DA 1.0: C and A; DA 2.0: A and B. B has no ProgID.
struct FakeServerList : IOPCServerList {
    FakeClassEnum da1{};
    FakeClassEnum da2{};
    HRESULT enumResult = S_OK;
    std::vector<ULONG> requiredCounts{};
    bool requiredArrayGiven = true;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE EnumClassesOfCategories(ULONG implemented, CATID implementedIds[],
                                                      ULONG required, CATID requiredIds[],
                                                      IEnumGUID** classes) override
    {
        *classes = nullptr;
        requiredCounts.push_back(required);
        requiredArrayGiven = requiredArrayGiven && requiredIds != nullptr;
        if (FAILED(enumResult)) return enumResult;
        if (implemented != 1) return E_INVALIDARG;
        FakeClassEnum* chosen = IsEqualGUID(implementedIds[0], CATID_OPCDAServer10)   ? &da1
                                : IsEqualGUID(implementedIds[0], CATID_OPCDAServer20) ? &da2
                                                                                      : nullptr;
        if (chosen == nullptr) return E_INVALIDARG;
        chosen->AddRef();
        *classes = chosen;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClassDetails(REFCLSID clsid, LPOLESTR* progId, LPOLESTR* userType) override
    {
        bool a = IsEqualGUID(clsid, kServerA);
        bool b = IsEqualGUID(clsid, kServerB);
        *progId = TaskText(a ? L"Vendor.Alpha.1" : b ? nullptr : L"Vendor.Charlie.1");
        *userType = TaskText(a ? L"Alpha server" : b ? L"Bravo server" : nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CLSIDFromProgID(LPCOLESTR, LPCLSID) override { return E_NOTIMPL; }
};

TEST(ListServersOf, EveryClassOfBothCategoriesOnceWithItsVersionsAndDetailsInProgIdOrder)
{
    FakeServerList list;
    list.da1.classes = {kServerC, kServerA};
    list.da2.classes = {kServerA, kServerB};
    std::vector<ServerEntry> servers;
    ASSERT_EQ(ListServersOf(&list, servers), S_OK);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_TRUE(IsEqualGUID(servers[0].clsid, kServerA));
    EXPECT_EQ(servers[0].progId, L"Vendor.Alpha.1");
    EXPECT_EQ(servers[0].description, L"Alpha server");
    EXPECT_EQ(VersionsText(servers[0]), L"1.0, 2.0");
    EXPECT_TRUE(IsEqualGUID(servers[1].clsid, kServerC));
    EXPECT_EQ(servers[1].description, L"");
    EXPECT_EQ(VersionsText(servers[1]), L"1.0");
    // A class without a ProgID comes last.
    EXPECT_TRUE(IsEqualGUID(servers[2].clsid, kServerB));
    EXPECT_EQ(servers[2].progId, L"");
    EXPECT_EQ(VersionsText(servers[2]), L"2.0");
    // No required categories, but an array for them: a marshalled call refuses a null one.
    EXPECT_EQ(list.requiredCounts, (std::vector<ULONG>{0, 0}));
    EXPECT_TRUE(list.requiredArrayGiven);
    // Both enumerators were given back.
    EXPECT_EQ(list.da1.refs, 1);
    EXPECT_EQ(list.da2.refs, 1);
}

TEST(ListServersOf, ARefusedListingIsReportedWithTheServerListsCode)
{
    FakeServerList list;
    list.enumResult = static_cast<HRESULT>(0x80070005);
    std::vector<ServerEntry> servers{ServerEntry{}};
    EXPECT_EQ(ListServersOf(&list, servers), static_cast<HRESULT>(0x80070005));
    EXPECT_TRUE(servers.empty());
}

TEST(ResolveServerName, ACLSIDInBracesNeedsNoLookupAndAnUnknownProgIdIsRefused)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    GUID clsid{};
    EXPECT_EQ(ResolveServerName(L"{13486D51-4821-11D2-A494-3CB306C10000}", L"", clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_OpcServerList));
    EXPECT_EQ(ResolveServerName(L"Tagprobe.Unit.NoSuchProgId.1", L"", clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(ResolveServerName(L"{not-a-clsid}", L"", clsid), CO_E_CLASSSTRING);
    CoUninitialize();
}

} // namespace
