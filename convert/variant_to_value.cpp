#include "convert/variant_to_value.h"

#include <cstring>

#include "convert/string_value.h"
#include "convert/value_payload.h"
#include "convert/variant_element.h"
#include "hostrt/core.h"

namespace {

// VT_ERROR and VT_HRESULT carry a 32-bit code; scalars only.
constexpr VariantElement kCodeElement{VT_ERROR, TypeU32, sizeof(SCODE)};

template <class T> T ReadDatum(const void* datum)
{
    T field{};
    std::memcpy(&field, datum, sizeof field);
    return field;
}

// One datum of a numeric, boolean or BSTR type; its width is the element's.
bool StoreDatum(const VariantElement& element, const void* datum, HostValue& value)
{
    // Text is written into the string the value already holds, without releasing it first.
    if (element.vt == VT_BSTR) return BstrToString(ReadDatum<BSTR>(datum), value);
    ReleaseValue(value);
    value.type = element.type;
    if (element.vt == VT_BOOL)
        WritePayload<std::uint8_t>(value, ReadDatum<VARIANT_BOOL>(datum) != 0 ? 1 : 0);
    else
        std::memcpy(value.payload, datum, element.size);
    return true;
}

// Currency, date and decimal as text, formatted as the user would see them.
template <class Datum>
bool StoreFormatted(HRESULT(WINAPI* format)(Datum, LCID, ULONG, BSTR*), Datum datum, HostValue& value)
{
    // The result is not examined: a failed conversion leaves the BSTR null, which is the empty text.
    BSTR text = nullptr;
    format(datum, LOCALE_USER_DEFAULT, 0, &text);
    bool stored = BstrToString(text, value);
    SysFreeString(text);
    return stored;
}

// The number of elements over all dimensions, 0 without any. Only its minimum with a range's count
// matters, so it saturates at 2^32 instead of overflowing.
std::uint64_t ElementCount(const SAFEARRAY& array)
{
    constexpr std::uint64_t kSaturated = std::uint64_t{UINT32_MAX} + 1;
    std::uint64_t total = array.cDims == 0 ? 0 : 1;
    for (USHORT d = 0; d < array.cDims; ++d) {
        total *= array.rgsabound[d].cElements;
        if (total > kSaturated) total = kSaturated;
    }
    return total;
}

// Whether the array's own description agrees with the element type the VARIANT claims. A server could
// otherwise make the walk read past the data block, or take integers for BSTR pointers.
bool ArrayHolds(SAFEARRAY& array, const VariantElement& element)
{
    if (array.cbElements != element.size) return false;
    VARTYPE recorded = VT_EMPTY;
    // Without a recorded type the size has to do; but BSTRs are only trusted in a BSTR array.
    if (FAILED(SafeArrayGetVartype(&array, &recorded))) return element.vt != VT_BSTR;
    const VariantElement* own = ElementForVartype(recorded);
    return own != nullptr && own->type == element.type && own->size == element.size;
}

// A BSTR array is all or nothing: the texts are built aside, and replace the entries only when every
// one of them has been built, so that memory running out part-way leaves every entry as it was.
bool StoreTexts(const unsigned char* data, std::uint32_t n, HostValue* elements)
{
    HostValue* built = nullptr;
    // n entries of elements exist, so n * 12 bytes fit in 32 bits.
    if (!AllocBlock(built, n * static_cast<std::uint32_t>(sizeof(HostValue)))) return false;
    std::uint32_t done = 0;
    for (; done < n; ++done) {
        built[done].type = TypeNone;
        if (!BstrToString(ReadDatum<BSTR>(data + std::size_t{done} * sizeof(BSTR)), built[done])) break;
    }
    const bool complete = done == n;
    for (std::uint32_t i = 0; i < done; ++i) {
        if (complete) {
            ReleaseValue(elements[i]);
            elements[i] = built[i];
        } else {
            ReleaseValue(built[i]);
        }
    }
    FreeBlock(built);
    return complete;
}

} // namespace

bool VariantToValue(const VARIANT& variant, HostValue& value)
{
    const bool byRef = (variant.vt & VT_BYREF) != 0;
    const VARTYPE vt = variant.vt & ~VT_BYREF;
    if (byRef && variant.byref == nullptr) return false;
    // Every datum of a by-value VARIANT starts where lVal does.
    const void* datum = byRef ? variant.byref : static_cast<const void*>(&variant.lVal);
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_VOID:
        ReleaseValue(value);
        return true;
    case VT_ERROR:
    case VT_HRESULT:
        return StoreDatum(kCodeElement, datum, value);
    case VT_CY:
        return StoreFormatted(VarBstrFromCy, ReadDatum<CY>(datum), value);
    case VT_DATE:
        return StoreFormatted(VarBstrFromDate, ReadDatum<DATE>(datum), value);
    // A DECIMAL by value fills the whole VARIANT, its type word included: only a reference is taken.
    case VT_DECIMAL:
        return byRef && StoreFormatted(VarBstrFromDec, variant.pdecVal, value);
    case VT_VARIANT: {
        if (!byRef) return false;
        // One level only: a reference to a VARIANT reference may point back at itself.
        const VARIANT& inner = *variant.pvarVal;
        return inner.vt != (VT_VARIANT | VT_BYREF) && VariantToValue(inner, value);
    }
    default: {
        const VariantElement* element = ElementForVartype(vt);
        return element != nullptr && StoreDatum(*element, datum, value);
    }
    }
}

bool VariantToValues(const VARIANT& variant, std::uint32_t count, HostValue* elements)
{
    if ((variant.vt & VT_ARRAY) == 0 || (variant.vt & VT_BYREF) != 0 || variant.parray == nullptr)
        return false;
    SAFEARRAY& array = *variant.parray;
    const VariantElement* element = ElementForVartype(variant.vt & ~VT_ARRAY);
    if (element == nullptr || !ArrayHolds(array, *element)) return false;
    std::uint64_t total = ElementCount(array);
    std::uint32_t n = total < count ? static_cast<std::uint32_t>(total) : count;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(&array, &data))) return false;
    // One pass over the data block, with the array's own element size as the stride. Only texts can
    // fail part-way (memory), so only they are built aside.
    const auto* datum = static_cast<const unsigned char*>(data);
    bool stored = n == 0 || datum != nullptr;
    if (stored && n != 0 && element->vt == VT_BSTR) {
        stored = StoreTexts(datum, n, elements);
    } else {
        for (std::uint32_t i = 0; stored && i < n; ++i)
            stored = StoreDatum(*element, datum + std::size_t{i} * element->size, elements[i]);
    }
    SafeArrayUnaccessData(&array);
    return stored;
}

bool BstrToString(BSTR bstr, HostValue& value)
{
    return AssignStringValue(value, bstr, SysStringLen(bstr));
}
