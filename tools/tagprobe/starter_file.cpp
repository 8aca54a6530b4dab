#include "tools/tagprobe/starter_file.h"

#include <objbase.h>

#include "config/channel_table.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/type_names.h"

namespace {

// The reader trims blanks around a value, so an ItemId that starts or ends with one cannot be written.
bool FitsParameterFile(const std::wstring& itemId)
{
    if (itemId.empty() || itemId.size() > kItemIdMax) return false;
    if (itemId.front() == L' ' || itemId.front() == L'\t' || itemId.back() == L' ' || itemId.back() == L'\t')
        return false;
    return itemId.find_first_of(L"\r\n") == std::wstring::npos;
}

std::wstring ChannelLine(std::uint32_t& next, const std::wstring& itemId, const ItemFacts& facts)
{
    std::wstring about = L"; " + VarTypeName(facts.canonical) + L", " + AccessText(facts.access);
    if ((facts.canonical & VT_ARRAY) == 0) return about + L"\r\n" + std::to_wstring(next++) + L" = " + itemId;
    if (facts.elements == 0)
        return about + L", element count unknown: give it a range FIRST-LAST yourself\r\n; ? = " + itemId;
    std::uint32_t first = next;
    next += facts.elements;
    return about + L", " + std::to_wstring(facts.elements) + L" elements\r\n" + std::to_wstring(first) +
           L"-" + std::to_wstring(next - 1) + L" = " + itemId;
}

} // namespace

std::wstring ClsidText(const GUID& clsid)
{
    wchar_t text[40] = {};
    StringFromGUID2(clsid, text, 40);
    return text;
}

std::wstring StarterFileText(const GUID& clsid, const std::wstring& host,
                             const std::vector<std::wstring>& itemIds, const std::vector<ItemFacts>& items)
{
    std::wstring text = L"; Starter parameter file written by tagprobe browse.\r\n"
                        L"; Check the channel numbers and delete the items the runtime does not need.\r\n"
                        L"[server]\r\nCLSID = " +
                        ClsidText(clsid) + L"\r\n";
    if (!host.empty()) text += L"host = " + host + L"\r\n";
    text += L"; After losing the server, try the whole connection again every 10 s (0 or no key: never).\r\n"
            L"reconnect = 10\r\n"
            L"; Answer reads from the server's data changes instead of calling it (at 1 s unless "
            L"update_rate is set).\r\n"
            L"; subscribe = true\r\n";
    text += L"\r\n[channels]\r\n";
    std::uint32_t next = 1;
    for (std::size_t i = 0; i < itemIds.size() && i < items.size(); ++i) {
        if (items[i].error != S_OK)
            text += L"; refused by the server (" + ResultText(items[i].error) + L"): " + itemIds[i];
        else if (!FitsParameterFile(itemIds[i]))
            text +=
                L"; cannot be written in a parameter file (blanks at an end, a line break, or too long): " +
                itemIds[i];
        else
            text += ChannelLine(next, itemIds[i], items[i]);
        text += L"\r\n";
    }
    return text;
}
