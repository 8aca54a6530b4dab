#include "tools/tagprobe/browse_walk.h"

#include <objbase.h>

#include "opcda.h"
#include "tools/tagprobe/com_release.h"

namespace {

constexpr ULONG kNamesPerCall = 64;

struct Walk {
    IOPCBrowseServerAddressSpace* browse = nullptr;
    BrowseResult* result = nullptr;
};

// Every name the enumerator delivers; the strings are the caller's to free, freed here.
std::vector<std::wstring> DrainNames(IEnumString* names)
{
    std::vector<std::wstring> list;
    for (;;) {
        LPOLESTR batch[kNamesPerCall] = {};
        ULONG fetched = 0;
        HRESULT hr = names->Next(kNamesPerCall, batch, &fetched);
        if (FAILED(hr)) break;
        for (ULONG i = 0; i < fetched && i < kNamesPerCall; ++i) {
            if (batch[i] != nullptr) list.emplace_back(batch[i]);
            CoTaskMemFree(batch[i]);
        }
        if (hr != S_OK || fetched == 0) break;
    }
    return list;
}

HRESULT List(Walk& walk, OPCBROWSETYPE type, std::vector<std::wstring>& names)
{
    IEnumString* enumerator = nullptr;
    HRESULT hr = walk.browse->BrowseOPCItemIDs(type, L"", VT_EMPTY, 0, &enumerator);
    // S_FALSE: nothing of that kind here; some servers then return no enumerator at all.
    if (SUCCEEDED(hr) && enumerator != nullptr) names = DrainNames(enumerator);
    ReleaseInterface(enumerator);
    return FAILED(hr) ? hr : S_OK;
}

void AddLeaves(Walk& walk, const std::vector<std::wstring>& leaves)
{
    for (const auto& leaf : leaves) {
        if (walk.result->itemIds.size() == kMaxBrowseItems) {
            walk.result->truncated = true;
            return;
        }
        LPWSTR itemId = nullptr;
        HRESULT hr = walk.browse->GetItemID(const_cast<LPWSTR>(leaf.c_str()), &itemId);
        walk.result->itemIds.emplace_back(SUCCEEDED(hr) && itemId != nullptr ? itemId : leaf.c_str());
        CoTaskMemFree(itemId);
    }
}

HRESULT WalkBranch(Walk& walk, std::size_t depth)
{
    std::vector<std::wstring> leaves;
    HRESULT hr = List(walk, OPC_LEAF, leaves);
    if (FAILED(hr)) return hr;
    AddLeaves(walk, leaves);
    std::vector<std::wstring> branches;
    hr = List(walk, OPC_BRANCH, branches);
    if (FAILED(hr)) return hr;
    if (!branches.empty() && depth == kMaxBrowseDepth) walk.result->truncated = true;
    for (const auto& branch : branches) {
        if (depth == kMaxBrowseDepth || walk.result->truncated) break;
        if (FAILED(walk.browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, branch.c_str()))) continue;
        hr = WalkBranch(walk, depth + 1);
        walk.browse->ChangeBrowsePosition(OPC_BROWSE_UP, L"");
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

} // namespace

void BrowseItems(IOPCServer* server, BrowseResult& result)
{
    result = BrowseResult{};
    Walk walk{nullptr, &result};
    result.hr =
        server->QueryInterface(IID_IOPCBrowseServerAddressSpace, reinterpret_cast<void**>(&walk.browse));
    if (FAILED(result.hr)) return;
    OPCNAMESPACETYPE space = OPC_NS_FLAT;
    result.hr = walk.browse->QueryOrganization(&space);
    if (SUCCEEDED(result.hr)) {
        result.hierarchical = space == OPC_NS_HIERARCHIAL;
        if (result.hierarchical) {
            // Start at the root whatever an earlier client of this object left behind.
            walk.browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"");
            result.hr = WalkBranch(walk, 0);
        } else {
            std::vector<std::wstring> names;
            result.hr = List(walk, OPC_FLAT, names);
            AddLeaves(walk, names);
        }
    }
    ReleaseInterface(walk.browse);
}
