#include "convert/variant_element.h"

#include <windows.h>
#include <oaidl.h>

#include "convert/value_payload.h"

namespace {

// The rows written, and read; VT_INT and VT_UINT only arrive.
constexpr VariantElement kElements[] = {
    {VT_BOOL, TypeBool, sizeof(VARIANT_BOOL)},
    {VT_UI1, TypeU8, 1},
    {VT_UI2, TypeU16, 2},
    {VT_UI4, TypeU32, 4},
    {VT_I1, TypeI8, 1},
    {VT_I2, TypeI16, 2},
    {VT_I4, TypeI32, 4},
    {VT_R4, TypeF32, 4},
    {VT_R8, TypeF64, 8},
    {VT_BSTR, TypeString, sizeof(BSTR)},
    {VT_INT, TypeI32, 4},
    {VT_UINT, TypeU32, 4},
};

const VariantElement* FindElement(bool (*matches)(const VariantElement&, std::uint32_t), std::uint32_t key)
{
    for (const VariantElement& row : kElements)
        if (matches(row, key)) return &row;
    return nullptr;
}

} // namespace

const VariantElement* ElementForVartype(std::uint16_t vt)
{
    return FindElement([](const VariantElement& row, std::uint32_t key) { return row.vt == key; }, vt);
}

const VariantElement* ElementForHostType(std::uint32_t type)
{
    if (IsTextType(type)) type = TypeString;
    // The first row of a host type is the one it is written in.
    return FindElement([](const VariantElement& row, std::uint32_t key) { return row.type == key; }, type);
}
