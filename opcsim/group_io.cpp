#include "opcsim/group_io.h"

#include <cstdio>

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/connection_point.h"
#include "opcsim/text_util.h"
#include "opcsim/value_text.h"

namespace {

std::string ItemText(Group& group, OPCHANDLE hServer)
{
    GroupItem* item = FindGroupItem(group, hServer);
    if (item == nullptr) return "#" + std::to_string(hServer); // no ItemId behind an unknown handle
    return QuoteIfNeeded(Utf8FromWide(group.sim->space.items[item->index].def->itemId));
}

} // namespace

HRESULT GroupItemValue(Group& group, SimMethod method, const GroupItem& item, bool moveSignal, VARIANT& value,
                       WORD& quality, FILETIME& time)
{
    VariantInit(&value);
    quality = OPC_QUALITY_BAD;
    time = FILETIME{};
    const ItemState& state = group.sim->space.items[item.index];
    HRESULT forced = ItemError(*group.sim, method, state.def->itemId);
    HRESULT hr = forced;
    if ((state.def->access & OPC_READABLE) == 0)
        hr = OPC_E_BADRIGHTS;
    else if (SUCCEEDED(forced))
        hr = ReadItem(group.sim->space, item.index, moveSignal, item.requested, group.lcid, value);
    if (FAILED(hr)) return hr;
    quality = state.quality;
    time = state.timestamp;
    return forced;
}

HRESULT ReadGroupItem(Group& group, SimMethod method, OPCHANDLE hServer, bool fromDevice, VARIANT& value,
                      WORD& quality, FILETIME& time, OPCHANDLE& hClient)
{
    VariantInit(&value);
    quality = OPC_QUALITY_BAD;
    time = FILETIME{};
    hClient = 0;
    GroupItem* item = FindGroupItem(group, hServer);
    HRESULT hr = OPC_E_INVALIDHANDLE;
    if (item != nullptr) {
        hClient = item->hClient;
        bool outOfService = !fromDevice && !(group.active && item->active);
        hr = GroupItemValue(group, method, *item, !outOfService, value, quality, time);
        if (SUCCEEDED(hr) && outOfService) quality = OPC_QUALITY_OUT_OF_SERVICE;
    }
    char q[8];
    std::snprintf(q, sizeof q, "0x%02X", quality);
    WriteSimLog(group.sim->log, "read " + ItemText(group, hServer) +
                                    " source=" + (fromDevice ? "device" : "cache") + " quality=" + q +
                                    " hr=" + HexHResult(hr));
    return hr;
}

HRESULT WriteGroupItem(Group& group, SimMethod method, OPCHANDLE hServer, const VARIANT& value,
                       OPCHANDLE& hClient)
{
    hClient = 0;
    GroupItem* item = FindGroupItem(group, hServer);
    HRESULT hr = OPC_E_INVALIDHANDLE;
    if (item != nullptr) {
        hClient = item->hClient;
        HRESULT forced = ItemError(*group.sim, method, group.sim->space.items[item->index].def->itemId);
        hr = FAILED(forced) ? forced : WriteItem(group.sim->space, item->index, value, group.lcid);
        if (SUCCEEDED(hr) && forced != S_OK) hr = forced;
    }
    std::string dims = FormatDims(value);
    WriteSimLog(group.sim->log, "write " + ItemText(group, hServer) + " vt=" + std::to_string(V_VT(&value)) +
                                    (dims.empty() ? "" : " dims=" + dims) + " value=" + FormatValue(value) +
                                    " hr=" + HexHResult(hr));
    return hr;
}

HRESULT GroupItemError(Group& group, SimMethod method, OPCHANDLE hServer)
{
    GroupItem* item = FindGroupItem(group, hServer);
    return item == nullptr ? S_OK
                           : ItemError(*group.sim, method, group.sim->space.items[item->index].def->itemId);
}

bool HasDataSink(const Group& group)
{
    return group.dataPoint != nullptr && group.dataPoint->sink != nullptr;
}
