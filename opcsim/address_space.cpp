#include "opcsim/address_space.h"

#include <cstring>

#include "idl/opc_constants.h"
#include "opcsim/date_text.h"
#include "opcsim/signal.h"

namespace {

HRESULT ConvertArray(const VARIANT& in, VARTYPE requested, LCID lcid, VARIANT& out)
{
    if ((requested & VT_ARRAY) == 0 || (V_VT(&in) & VT_BYREF) != 0 || V_ARRAY(&in) == nullptr)
        return OPC_E_BADTYPE;
    SAFEARRAY* from = V_ARRAY(&in);
    VARTYPE fromType = static_cast<VARTYPE>(V_VT(&in) & VT_TYPEMASK);
    VARTYPE toType = static_cast<VARTYPE>(requested & VT_TYPEMASK);
    std::vector<SAFEARRAYBOUND> bounds(from->cDims);
    for (UINT d = 1; d <= from->cDims; ++d) {
        LONG low = 0, high = -1;
        SafeArrayGetLBound(from, d, &low);
        SafeArrayGetUBound(from, d, &high);
        bounds[d - 1] = SAFEARRAYBOUND{static_cast<ULONG>(high - low + 1), low};
    }
    SAFEARRAY* to = SafeArrayCreate(toType, from->cDims, bounds.data());
    if (to == nullptr) return E_OUTOFMEMORY;
    ULONG count = 1;
    for (const SAFEARRAYBOUND& b : bounds)
        count *= b.cElements;
    BYTE* src = nullptr;
    BYTE* dst = nullptr;
    SafeArrayAccessData(from, reinterpret_cast<void**>(&src));
    SafeArrayAccessData(to, reinterpret_cast<void**>(&dst));
    ULONG fromSize = SafeArrayGetElemsize(from), toSize = SafeArrayGetElemsize(to);
    HRESULT hr = S_OK;
    for (ULONG i = 0; i < count && SUCCEEDED(hr); ++i) {
        VARIANT a, b;
        VariantInit(&a);
        VariantInit(&b);
        std::memcpy(fromType == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&a)) : &V_UI1(&a),
                    src + i * fromSize,
                    fromSize); // a view of the element: not cleared
        V_VT(&a) = fromType;
        hr = VariantChangeTypeEx(&b, &a, lcid, 0, toType);
        if (SUCCEEDED(hr)) {
            std::memcpy(dst + i * toSize,
                        toType == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&b)) : &V_UI1(&b),
                        toSize); // the array takes over a BSTR
            if (toType == VT_DECIMAL) reinterpret_cast<DECIMAL*>(dst + i * toSize)->wReserved = 0;
        }
    }
    SafeArrayUnaccessData(to);
    SafeArrayUnaccessData(from);
    if (FAILED(hr)) {
        SafeArrayDestroy(to);
        return OPC_E_BADTYPE;
    }
    V_VT(&out) = static_cast<VARTYPE>(VT_ARRAY | toType);
    V_ARRAY(&out) = to;
    return S_OK;
}

} // namespace

void InitAddressSpace(AddressSpace& space, const Scenario& scenario)
{
    ReleaseAddressSpace(space);
    space.startTick = GetTickCount64();
    FILETIME now = FileTimeNow();
    for (const SimItem& def : scenario.items) {
        ItemState item;
        item.def = &def;
        VariantInit(&item.value);
        VariantCopy(&item.value, const_cast<VARIANT*>(&def.initial)); // the API lacks const
        item.quality = def.quality;
        item.timestamp = def.fixedTime ? def.timestamp : now;
        space.byItemId.emplace(def.itemId, space.items.size());
        space.items.push_back(item);
    }
}

void ReleaseAddressSpace(AddressSpace& space)
{
    for (ItemState& item : space.items)
        VariantClear(&item.value);
    space.items.clear();
    space.byItemId.clear();
}

int FindItem(const AddressSpace& space, const wchar_t* itemId)
{
    if (itemId == nullptr) return -1;
    auto found = space.byItemId.find(itemId);
    return found == space.byItemId.end() ? -1 : static_cast<int>(found->second);
}

void MoveSignal(AddressSpace& space, size_t index)
{
    ItemState& item = space.items[index];
    const SimItem& def = *item.def;
    if (def.signal.kind == SignalKind::None || (def.access & OPC_READABLE) == 0) return;
    double x = SignalValue(def.signal, GetTickCount64() - space.startTick, space.randomState);
    VARIANT real, converted;
    VariantInit(&real);
    VariantInit(&converted);
    V_VT(&real) = VT_R8;
    V_R8(&real) = x;
    if (def.type.element == VT_BOOL) {
        V_VT(&converted) = VT_BOOL;
        V_BOOL(&converted) = x > (def.signal.low + def.signal.high) / 2 ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (FAILED(VariantChangeType(&converted, &real, 0, def.type.element))) {
        return; // out of the type's range: keep the last value
    }
    // A comparison that fails (a type VarCmp does not know) counts as a change: one update too many at worst.
    if (VarCmp(&item.value, &converted, LOCALE_INVARIANT, 0) != VARCMP_EQ) ++item.version;
    VariantClear(&item.value);
    item.value = converted;
    if (!def.fixedTime) item.timestamp = FileTimeNow();
}

HRESULT ReadItem(AddressSpace& space, size_t index, bool fromDevice, VARTYPE requested, LCID lcid,
                 VARIANT& value)
{
    if (fromDevice) MoveSignal(space, index);
    return ConvertValue(space.items[index].value, requested, lcid, value);
}

HRESULT WriteItem(AddressSpace& space, size_t index, const VARIANT& value, LCID lcid)
{
    ItemState& item = space.items[index];
    if ((item.def->access & OPC_WRITEABLE) == 0) return OPC_E_BADRIGHTS;
    if (V_VT(&value) == VT_EMPTY) return OPC_E_BADTYPE;
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = ConvertValue(value, V_VT(&item.value), lcid, converted);
    if (FAILED(hr)) return hr;
    VariantClear(&item.value);
    item.value = converted;
    ++item.version;
    if (!item.def->fixedTime) item.timestamp = FileTimeNow();
    return S_OK;
}

HRESULT ConvertValue(const VARIANT& in, VARTYPE requested, LCID lcid, VARIANT& out)
{
    VariantInit(&out);
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&in)))) return OPC_E_BADTYPE; // lacks const
    HRESULT hr = S_OK;
    if (requested == VT_EMPTY || requested == V_VT(&plain)) {
        out = plain;
        return S_OK;
    }
    if ((V_VT(&plain) & VT_ARRAY) != 0 && requested != VT_BSTR)
        hr = ConvertArray(plain, requested, lcid, out);
    else if (FAILED(VariantChangeTypeEx(&out, &plain, lcid, 0, requested)))
        hr = OPC_E_BADTYPE;
    VariantClear(&plain);
    return hr;
}
