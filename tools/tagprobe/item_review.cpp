#include "tools/tagprobe/item_review.h"

#include <cwchar>

#include <objbase.h>

#include "idl/opc_constants.h"
#include "opcda.h"
#include "tools/tagprobe/browse_walk.h"
#include "tools/tagprobe/com_release.h"
#include "tools/tagprobe/name_suggest.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/server_look.h"
#include "tools/tagprobe/type_names.h"

namespace {

constexpr DWORD kSystemLocale = 0x800; // LOCALE_SYSTEM_DEFAULT, as the driver's group uses
constexpr std::size_t kSuggestions = 3;

// Browsed once, when the first refused ItemId needs suggestions.
struct Names {
    bool browsed = false;
    BrowseResult result{};
};

std::wstring ServerText(IOPCServer* server, HRESULT error)
{
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(error));
    LPWSTR text = nullptr;
    if (FAILED(server->GetErrorString(error, kSystemLocale, &text)) || text == nullptr) {
        CoTaskMemFree(text);
        return ResultText(error);
    }
    std::wstring quoted = std::wstring(code) + L" \"" + text + L"\"";
    CoTaskMemFree(text);
    return quoted;
}

std::wstring SuggestionText(IOPCServer* server, const std::wstring& itemId, Names& names)
{
    if (!names.browsed) BrowseItems(server, names.result);
    names.browsed = true;
    if (names.result.hr == E_NOINTERFACE)
        return L"the server offers no browsing (IOPCBrowseServerAddressSpace), so no names can be suggested";
    if (FAILED(names.result.hr))
        return L"browsing the server failed (" + ResultText(names.result.hr) +
               L"), so no names can be suggested";
    std::vector<std::wstring> closest = ClosestNames(itemId, names.result.itemIds, kSuggestions);
    if (closest.empty()) return L"browsing finds no similar name";
    return L"did you mean " + AlternativesText(closest) + L"?";
}

void ReviewAccepted(const ReviewedChannel& channel, const OPCITEMRESULT& result, std::vector<Finding>& out)
{
    std::wstring name = ChannelName(channel.first, channel.count);
    std::wstring type = VarTypeName(result.vtCanonicalDataType);
    bool array = (result.vtCanonicalDataType & VT_ARRAY) != 0;
    if (channel.count > 0 && !array)
        out.push_back(Finding{channel.line, FindingLevel::Error,
                              name + L": a range, but " + channel.itemId + L" is a scalar item (" + type +
                                  L"): every read and write of the range fails"});
    if (channel.count == 0 && array)
        out.push_back(Finding{channel.line, FindingLevel::Error,
                              name + L": a single channel, but " + channel.itemId + L" is an array item (" +
                                  type + L"): every read of the channel fails; give it a range FIRST-LAST"});
    // A write-only setpoint is a sound channel for a runtime that only writes it: a warning.
    if ((result.dwAccessRights & OPC_READABLE) == 0)
        out.push_back(Finding{channel.line, FindingLevel::Warning,
                              name + L": " + channel.itemId + L" does not allow reading (access: " +
                                  AccessText(result.dwAccessRights) +
                                  L"): a read of the channel reports \"wrong direction\""});
}

void Validate(IOPCServer* server, IOPCItemMgt* itemMgt, FileReview& review)
{
    const std::vector<ReviewedChannel>& channels = review.channels;
    std::vector<OPCITEMDEF> definitions(channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        definitions[i].szAccessPath = const_cast<LPWSTR>(L""); // the IDL's texts are not const; only read
        definitions[i].szItemID = const_cast<LPWSTR>(channels[i].itemId.c_str());
        definitions[i].bActive = TRUE;
        definitions[i].hClient = channels[i].first;
        definitions[i].vtRequestedDataType = VT_EMPTY;
    }
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = itemMgt->ValidateItems(static_cast<DWORD>(channels.size()), definitions.data(), FALSE,
                                        &results, &errors);
    if (FAILED(hr) || results == nullptr || errors == nullptr) {
        review.findings.push_back(Finding{0, FindingLevel::Warning,
                                          L"the server refused to validate the items (" +
                                              ResultText(FAILED(hr) ? hr : E_FAIL) +
                                              L"); they are not reviewed"});
    }
    Names names;
    for (std::size_t i = 0; SUCCEEDED(hr) && results != nullptr && errors != nullptr && i < channels.size();
         ++i) {
        if (errors[i] == S_OK) {
            ReviewAccepted(channels[i], results[i], review.findings);
            continue;
        }
        review.findings.push_back(Finding{channels[i].line, FindingLevel::Error,
                                          ChannelName(channels[i].first, channels[i].count) +
                                              L": the server does not accept the ItemId " +
                                              channels[i].itemId + L": " + ServerText(server, errors[i]) +
                                              L"; " + SuggestionText(server, channels[i].itemId, names)});
    }
    for (std::size_t i = 0; results != nullptr && i < channels.size(); ++i)
        CoTaskMemFree(results[i].pBlob);
    CoTaskMemFree(results);
    CoTaskMemFree(errors);
}

} // namespace

void ReviewItems(IOPCServer* server, FileReview& review)
{
    if (review.channels.empty()) return;
    DWORD group = 0;
    IOPCItemMgt* itemMgt = nullptr;
    HRESULT hr = AddLookGroup(server, group, &itemMgt);
    if (FAILED(hr)) {
        review.findings.push_back(Finding{0, FindingLevel::Error,
                                          L"the server refuses a group (" + ResultText(hr) +
                                              L"): Init fails, and the items are not reviewed"});
        return;
    }
    Validate(server, itemMgt, review);
    RemoveLookGroup(server, group, itemMgt);
}
