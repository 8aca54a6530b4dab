#include "tools/tagprobe/type_names.h"

#include <cwchar>

#include "convert/value_record.h"

namespace {

struct HostTypeEntry {
    std::uint32_t type;
    const wchar_t* name;
};

constexpr HostTypeEntry kHostTypes[] = {
    {TypeBool, L"bool"},         {TypeU8, L"u8"},           {TypeU16, L"u16"},
    {TypeU32, L"u32"},           {TypeI8, L"i8"},           {TypeI16, L"i16"},
    {TypeI32, L"i32"},           {TypeF32, L"f32"},         {TypeF64, L"f64"},
    {TypeText, L"text"},         {TypeTextBuf, L"textbuf"}, {TypeWText, L"wtext"},
    {TypeWTextBuf, L"wtextbuf"},
};

struct VarTypeEntry {
    VARTYPE vt;
    const wchar_t* name;
    std::uint32_t suggested;
};

constexpr VarTypeEntry kVarTypes[] = {
    {VT_EMPTY, L"EMPTY", TypeText},
    {VT_NULL, L"NULL", TypeText},
    {VT_I2, L"I2", TypeI16},
    {VT_I4, L"I4", TypeI32},
    {VT_R4, L"R4", TypeF32},
    {VT_R8, L"R8", TypeF64},
    {VT_CY, L"CY", TypeText},
    {VT_DATE, L"DATE", TypeText},
    {VT_BSTR, L"BSTR", TypeText},
    {VT_ERROR, L"ERROR", TypeU32},
    {VT_BOOL, L"BOOL", TypeBool},
    {VT_VARIANT, L"VARIANT", TypeText},
    {VT_DECIMAL, L"DECIMAL", TypeText},
    {VT_I1, L"I1", TypeI8},
    {VT_UI1, L"UI1", TypeU8},
    {VT_UI2, L"UI2", TypeU16},
    {VT_UI4, L"UI4", TypeU32},
    {VT_I8, L"I8", TypeF64},
    {VT_UI8, L"UI8", TypeF64},
    {VT_INT, L"INT", TypeI32},
    {VT_UINT, L"UINT", TypeU32},
    {VT_HRESULT, L"HRESULT", TypeU32},
};

const VarTypeEntry* FindVarType(VARTYPE vt)
{
    for (const auto& entry : kVarTypes)
        if (entry.vt == vt) return &entry;
    return nullptr;
}

} // namespace

bool HostTypeFromName(const std::wstring& name, std::uint32_t& type)
{
    for (const auto& entry : kHostTypes) {
        if (_wcsicmp(entry.name, name.c_str()) == 0) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

std::wstring HostTypeName(std::uint32_t type)
{
    for (const auto& entry : kHostTypes)
        if (entry.type == type) return entry.name;
    return L"type " + std::to_wstring(type);
}

std::wstring HostTypeNameList()
{
    std::wstring list;
    for (const auto& entry : kHostTypes)
        list += (list.empty() ? L"" : L", ") + std::wstring(entry.name);
    return list;
}

std::wstring VarTypeName(VARTYPE vt)
{
    const VarTypeEntry* entry = FindVarType(static_cast<VARTYPE>(vt & ~VT_ARRAY));
    if (entry == nullptr) {
        wchar_t text[16];
        std::swprintf(text, 16, L"VT 0x%04X", static_cast<unsigned>(vt));
        return text;
    }
    return std::wstring(entry->name) + ((vt & VT_ARRAY) != 0 ? L"[]" : L"");
}

std::uint32_t SuggestedHostType(VARTYPE vt)
{
    const VarTypeEntry* entry = FindVarType(static_cast<VARTYPE>(vt & ~VT_ARRAY));
    return entry == nullptr ? TypeText : entry->suggested;
}
