#include "opcsim/value_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "opcsim/date_text.h"
#include "opcsim/text_util.h"

namespace {

struct TypeName {
    VARTYPE vt;
    const char* name;
};

constexpr TypeName kTypes[] = {
    {VT_EMPTY, "EMPTY"}, {VT_NULL, "NULL"}, {VT_I1, "I1"},     {VT_I2, "I2"},           {VT_I4, "I4"},
    {VT_I8, "I8"},       {VT_UI1, "UI1"},   {VT_UI2, "UI2"},   {VT_UI4, "UI4"},         {VT_UI8, "UI8"},
    {VT_INT, "INT"},     {VT_UINT, "UINT"}, {VT_R4, "R4"},     {VT_R8, "R8"},           {VT_BOOL, "BOOL"},
    {VT_BSTR, "BSTR"},   {VT_CY, "CY"},     {VT_DATE, "DATE"}, {VT_DECIMAL, "DECIMAL"}, {VT_ERROR, "ERROR"},
};

constexpr LCID kInvariantLcid = 0x0409; // '.' as the decimal point whatever the user's locale

// Where a scalar's bytes live in a VARIANT: a DECIMAL covers the whole VARIANT, the others start at 8.
void* ScalarData(VARIANT& v)
{
    return V_VT(&v) == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&v)) : &V_UI1(&v);
}

bool ParseBound(const std::string& text, SAFEARRAYBOUND& bound)
{
    size_t dots = text.find("..");
    long long low = 0, high = 0;
    if (dots == std::string::npos) {
        if (!ParseSigned(text, 0, 1000000, high)) return false;
        bound.lLbound = 0;
        bound.cElements = static_cast<ULONG>(high);
        return true;
    }
    if (!ParseSigned(text.substr(0, dots), -1000000, 1000000, low) ||
        !ParseSigned(text.substr(dots + 2), low - 1, low + 1000000, high))
        return false;
    bound.lLbound = static_cast<LONG>(low);
    bound.cElements = static_cast<ULONG>(high - low + 1);
    return true;
}

std::string BoundText(const SAFEARRAYBOUND& b)
{
    if (b.lLbound == 0) return std::to_string(b.cElements);
    return std::to_string(b.lLbound) + ".." +
           std::to_string(static_cast<long long>(b.lLbound) + b.cElements - 1);
}

bool ParseCurrency(const std::string& text, CY& out)
{
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (frac.size() > 4 || frac.find_first_not_of("0123456789") != std::string::npos) return false;
    bool negative = !whole.empty() && whole[0] == '-';
    long long units = 0;
    const long long limit = 922337203685477LL;
    if (!ParseSigned(whole, -limit, limit, units)) return false;
    frac.resize(4, '0');
    long long fraction = std::stoll(frac);
    long long scaled = units * 10000 + (negative ? -fraction : fraction);
    out.int64 = scaled;
    return true;
}

std::string FormatCurrency(const CY& cy)
{
    unsigned long long magnitude = cy.int64 < 0 ? 0ULL - static_cast<unsigned long long>(cy.int64)
                                                : static_cast<unsigned long long>(cy.int64);
    std::string out = (cy.int64 < 0 ? "-" : "") + std::to_string(magnitude / 10000);
    std::string frac = std::to_string(10000 + magnitude % 10000).substr(1);
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    return frac.empty() ? out : out + "." + frac;
}

bool ParseInteger(VARTYPE vt, const std::string& text, VARIANT& out)
{
    long long s = 0;
    unsigned long long u = 0;
    switch (vt) {
    case VT_I1:
        if (!ParseSigned(text, -128, 127, s)) return false;
        V_I1(&out) = static_cast<CHAR>(s);
        break;
    case VT_I2:
        if (!ParseSigned(text, -32768, 32767, s)) return false;
        V_I2(&out) = static_cast<SHORT>(s);
        break;
    case VT_I4:
    case VT_INT:
        if (!ParseSigned(text, -2147483648LL, 2147483647LL, s)) return false;
        V_I4(&out) = static_cast<LONG>(s);
        break;
    case VT_I8:
        if (!ParseSigned(text, INT64_MIN, INT64_MAX, s)) return false;
        V_I8(&out) = s;
        break;
    case VT_UI1:
        if (!ParseUnsigned(text, 0xFF, u)) return false;
        V_UI1(&out) = static_cast<BYTE>(u);
        break;
    case VT_UI2:
        if (!ParseUnsigned(text, 0xFFFF, u)) return false;
        V_UI2(&out) = static_cast<USHORT>(u);
        break;
    case VT_UI4:
    case VT_UINT:
        if (!ParseUnsigned(text, 0xFFFFFFFFULL, u)) return false;
        V_UI4(&out) = static_cast<ULONG>(u);
        break;
    default: // VT_UI8
        if (!ParseUnsigned(text, UINT64_MAX, u)) return false;
        V_UI8(&out) = u;
        break;
    }
    return true;
}

bool ParseOther(VARTYPE vt, const std::string& text, VARIANT& out)
{
    double real = 0;
    switch (vt) {
    case VT_EMPTY:
        return text == "empty";
    case VT_NULL:
        return text == "null";
    case VT_R4:
        // Refused when it overflows the float; 3.4028235e38 is above FLT_MAX but rounds to it.
        if (!ParseReal(text, real) || (std::isinf(static_cast<float>(real)) && !std::isinf(real)))
            return false;
        V_R4(&out) = static_cast<float>(real);
        return true;
    case VT_R8:
        return ParseReal(text, V_R8(&out));
    case VT_BOOL:
        if (text != "true" && text != "false") return false;
        V_BOOL(&out) = text == "true" ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
    case VT_BSTR:
        V_BSTR(&out) = SysAllocString(WideFromUtf8(text).c_str());
        return V_BSTR(&out) != nullptr;
    case VT_CY:
        return ParseCurrency(text, V_CY(&out));
    case VT_DATE:
        return ParseOleDate(text, V_DATE(&out));
    case VT_DECIMAL: {
        if (text.find_first_not_of("-0123456789.") != std::string::npos) return false;
        DECIMAL dec{};
        std::wstring wide = WideFromUtf8(text);
        if (FAILED(VarDecFromStr(const_cast<OLECHAR*>(wide.c_str()), kInvariantLcid, 0, &dec))) return false;
        V_DECIMAL(&out) = dec; // overwrites vt: set again below
        return true;
    }
    default: // VT_ERROR
        return ParseHResult(text, V_ERROR(&out));
    }
}

std::string FormatScalar(const VARIANT& v)
{
    switch (V_VT(&v)) {
    case VT_EMPTY:
        return "empty";
    case VT_NULL:
        return "null";
    case VT_I1:
        return std::to_string(static_cast<int>(V_I1(&v)));
    case VT_I2:
        return std::to_string(V_I2(&v));
    case VT_I4:
    case VT_INT:
        return std::to_string(V_I4(&v));
    case VT_I8:
        return std::to_string(V_I8(&v));
    case VT_UI1:
        return std::to_string(V_UI1(&v));
    case VT_UI2:
        return std::to_string(V_UI2(&v));
    case VT_UI4:
    case VT_UINT:
        return std::to_string(V_UI4(&v));
    case VT_UI8:
        return std::to_string(V_UI8(&v));
    case VT_R4:
        return FormatReal(V_R4(&v), true);
    case VT_R8:
        return FormatReal(V_R8(&v), false);
    case VT_BOOL:
        if (V_BOOL(&v) == VARIANT_TRUE) return "true";
        return V_BOOL(&v) == VARIANT_FALSE ? "false" : std::to_string(V_BOOL(&v));
    case VT_BSTR:
        return Quote(Utf8FromWide(V_BSTR(&v) ? V_BSTR(&v) : L""));
    case VT_CY:
        return FormatCurrency(V_CY(&v));
    case VT_DATE:
        return FormatOleDate(V_DATE(&v));
    case VT_DECIMAL: {
        BSTR text = nullptr;
        DECIMAL dec = V_DECIMAL(&v);
        if (FAILED(VarBstrFromDec(&dec, kInvariantLcid, 0, &text))) return "?";
        std::string out = Utf8FromWide(text);
        SysFreeString(text);
        return out;
    }
    case VT_ERROR:
        return HexHResult(V_ERROR(&v));
    default:
        return "?vt=" + std::to_string(V_VT(&v));
    }
}

std::string FormatArray(const VARIANT& v)
{
    SAFEARRAY* sa = V_ARRAY(&v);
    if (sa == nullptr) return "{}";
    VARTYPE element = static_cast<VARTYPE>(V_VT(&v) & VT_TYPEMASK);
    ULONG count = 1;
    for (USHORT d = 0; d < sa->cDims; ++d)
        count *= sa->rgsabound[d].cElements;
    ULONG size = SafeArrayGetElemsize(sa);
    BYTE* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, reinterpret_cast<void**>(&data)))) return "{?}";
    std::string out = "{";
    for (ULONG i = 0; i < count; ++i) {
        if (i > 0) out += ' ';
        if (element == VT_VARIANT) {
            out += FormatValue(*reinterpret_cast<VARIANT*>(data + i * size));
            continue;
        }
        VARIANT view;
        VariantInit(&view);
        V_VT(&view) = element;
        std::memcpy(ScalarData(view), data + i * size, size); // a view: the BSTR stays the array's
        V_VT(&view) = element;
        out += FormatScalar(view);
    }
    SafeArrayUnaccessData(sa);
    return out + "}";
}

} // namespace

const char* ScalarTypeName(VARTYPE vt)
{
    for (const TypeName& t : kTypes) {
        if (t.vt == vt) return t.name;
    }
    return nullptr;
}

bool ParseValueType(const std::string& text, ValueType& type, std::string& error)
{
    size_t open = text.find('[');
    std::string name = text.substr(0, open);
    type = ValueType{};
    bool known = false;
    for (const TypeName& t : kTypes) {
        if (name == t.name) {
            type.element = t.vt;
            known = true;
        }
    }
    if (!known) {
        error = "unknown type " + name;
        return false;
    }
    if (open == std::string::npos) return true;
    if (text.back() != ']' || type.element == VT_EMPTY || type.element == VT_NULL) {
        error = "bad array type " + text;
        return false;
    }
    std::string dims = text.substr(open + 1, text.size() - open - 2);
    size_t start = 0;
    while (true) {
        size_t comma = dims.find(',', start);
        SAFEARRAYBOUND bound{};
        if (!ParseBound(dims.substr(start, comma - start), bound)) {
            error = "bad array bounds " + text;
            return false;
        }
        type.bounds.push_back(bound);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

std::string ValueTypeText(const ValueType& type)
{
    const char* name = ScalarTypeName(type.element);
    std::string out = name ? name : "?";
    if (type.bounds.empty()) return out;
    out += '[';
    for (size_t d = 0; d < type.bounds.size(); ++d)
        out += (d ? "," : "") + BoundText(type.bounds[d]);
    return out + "]";
}

bool ParseScalar(VARTYPE vt, const std::string& text, VARIANT& out, std::string& error)
{
    VariantInit(&out);
    bool integer = vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_I8 || vt == VT_UI1 || vt == VT_UI2 ||
                   vt == VT_UI4 || vt == VT_UI8 || vt == VT_INT || vt == VT_UINT;
    bool ok = integer ? ParseInteger(vt, text, out) : ParseOther(vt, text, out);
    V_VT(&out) = vt; // after the value: a DECIMAL's reserved word shares the place of vt
    if (ok) return true;
    VariantInit(&out);
    error = "bad " + std::string(ScalarTypeName(vt)) + " value " + QuoteIfNeeded(text);
    return false;
}

bool BuildArray(const ValueType& type, const std::vector<std::string>& elements, VARIANT& out,
                std::string& error)
{
    VariantInit(&out);
    ULONG count = 1;
    for (const SAFEARRAYBOUND& b : type.bounds)
        count *= b.cElements;
    if (elements.size() != count) {
        error = ValueTypeText(type) + " needs " + std::to_string(count) + " values, has " +
                std::to_string(elements.size());
        return false;
    }
    std::vector<SAFEARRAYBOUND> bounds = type.bounds;
    SAFEARRAY* sa = SafeArrayCreate(type.element, static_cast<UINT>(bounds.size()), bounds.data());
    if (sa == nullptr) {
        error = "cannot create " + ValueTypeText(type);
        return false;
    }
    ULONG size = SafeArrayGetElemsize(sa);
    BYTE* data = nullptr;
    SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    bool ok = true;
    for (ULONG i = 0; i < count && ok; ++i) {
        VARIANT element;
        ok = ParseScalar(type.element, elements[i], element, error);
        if (!ok) break;
        std::memcpy(data + i * size, ScalarData(element), size); // the array takes over a BSTR
        if (type.element == VT_DECIMAL) reinterpret_cast<DECIMAL*>(data + i * size)->wReserved = 0;
    }
    SafeArrayUnaccessData(sa);
    if (!ok) {
        SafeArrayDestroy(sa);
        return false;
    }
    V_VT(&out) = static_cast<VARTYPE>(VT_ARRAY | type.element);
    V_ARRAY(&out) = sa;
    return true;
}

std::string FormatValue(const VARIANT& value)
{
    if ((V_VT(&value) & VT_BYREF) == 0)
        return (V_VT(&value) & VT_ARRAY) ? FormatArray(value) : FormatScalar(value);
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantCopyInd(&copy, const_cast<VARIANT*>(&value)))) return "?byref"; // lacks const
    std::string out = FormatValue(copy);
    VariantClear(&copy);
    return out;
}

std::string FormatDims(const VARIANT& value)
{
    if ((V_VT(&value) & VT_ARRAY) == 0 || (V_VT(&value) & VT_BYREF) != 0 || V_ARRAY(&value) == nullptr)
        return "";
    SAFEARRAY* sa = V_ARRAY(&value);
    std::string out;
    for (UINT d = 1; d <= sa->cDims; ++d) {
        LONG low = 0, high = -1;
        SafeArrayGetLBound(sa, d, &low);
        SafeArrayGetUBound(sa, d, &high);
        SAFEARRAYBOUND b{static_cast<ULONG>(static_cast<long long>(high) - low + 1), low};
        out += (d > 1 ? "," : "") + BoundText(b);
    }
    return out;
}
