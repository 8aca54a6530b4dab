#include "connection/group_items.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/last_error.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kErrChannels[] = L"Cannot create channel specified in PAR file (error in PAR file)";
constexpr wchar_t kErrChannelNumber[] = L"Cannot create channel specified in PAR file number: ";
constexpr std::uint32_t kErrChannelNumberLength = sizeof(kErrChannelNumber) / sizeof(wchar_t) - 1;
static_assert(kErrChannelNumberLength == 52, "the numbered text ends with a blank before the number");

// Every item has an empty access path, never a null one.
const wchar_t kNoAccessPath[] = L"";

// Walks the table in ascending order, giving each channel with its index; stops after count channels.
template <class Visit> void ForEachChannel(OpcDriver& drv, std::uint32_t count, Visit visit)
{
    OrderedItem* item = nullptr;
    bool more = drv.channels.First(&item);
    for (std::uint32_t i = 0; more && i < count; ++i) {
        visit(*static_cast<Channel*>(item), i);
        more = drv.channels.Next(item, &item);
    }
}

// The item definitions point into the channels' own ItemId text: the array lives only for the call.
void DescribeItems(OpcDriver& drv, OPCITEMDEF* defs, std::uint32_t count)
{
    ForEachChannel(drv, count, [defs](Channel& channel, std::uint32_t i) {
        const wchar_t* itemId = nullptr;
        std::uint32_t length = 0;
        StringChars(&channel.itemId, &itemId, &length);
        OPCITEMDEF& def = defs[i];
        def.szAccessPath = const_cast<LPWSTR>(kNoAccessPath); // the IDL lacks const; the server only reads it
        def.szItemID = const_cast<LPWSTR>(itemId);            // likewise
        def.bActive = TRUE;
        def.hClient = channel.firstNumber;
        def.dwBlobSize = 0;
        def.pBlob = nullptr;
        def.vtRequestedDataType = VT_EMPTY; // the server delivers each item in its canonical type
        def.wReserved = 0;
    });
}

void BindChannels(OpcDriver& drv, const OPCITEMRESULT* results, std::uint32_t count)
{
    ForEachChannel(drv, count, [results](Channel& channel, std::uint32_t i) {
        channel.serverHandle = results[i].hServer;
        channel.dataType = results[i].vtCanonicalDataType;
        channel.accessRights = results[i].dwAccessRights;
    });
}

// The first channel whose item the server refused, or null when every entry is S_OK.
Channel* FirstRefused(OpcDriver& drv, const HRESULT* errors, std::uint32_t count)
{
    Channel* refused = nullptr;
    ForEachChannel(drv, count, [errors, &refused](Channel& channel, std::uint32_t i) {
        if (refused == nullptr && errors[i] != S_OK) refused = &channel;
    });
    return refused;
}

bool ReportRefusedItems(OpcDriver& drv, HRESULT hr, const HRESULT* errors, std::uint32_t count)
{
    Channel* refused = hr == S_FALSE && errors != nullptr ? FirstRefused(drv, errors, count) : nullptr;
    if (refused == nullptr) return ReportFailure(drv, kErrChannels);
    // Built in place: the number first, then the sentence in front of it.
    bool formatted = false;
    FormatInt(refused->firstNumber, kLastErrorMax, drv.lastError, 10, &formatted);
    PrependText(kLastErrorMax, drv.lastError, kErrChannelNumberLength, kErrChannelNumber);
    return false;
}

void FreeResults(OPCITEMRESULT* results, std::uint32_t count)
{
    if (results == nullptr) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (results[i].pBlob != nullptr) CoTaskMemFree(results[i].pBlob);
    }
    CoTaskMemFree(results);
}

} // namespace

bool AddChannelItems(OpcDriver& drv)
{
    std::uint32_t count = drv.channels.Count;
    OPCITEMDEF* defs = nullptr;
    if (count == 0 || count > UINT32_MAX / sizeof(OPCITEMDEF) ||
        !AllocBlock(defs, count * static_cast<std::uint32_t>(sizeof(OPCITEMDEF))))
        return ReportFailure(drv, kErrChannels);
    DescribeItems(drv, defs, count);
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = drv.itemMgt->AddItems(count, defs, &results, &errors);
    // A success without the results it implies binds nothing.
    bool bound = hr == S_OK && results != nullptr;
    if (bound) {
        BindChannels(drv, results, count);
    } else {
        ReportRefusedItems(drv, hr, errors, count);
    }
    FreeBlock(defs);
    FreeResults(results, count);
    if (errors != nullptr) CoTaskMemFree(errors);
    return bound;
}
