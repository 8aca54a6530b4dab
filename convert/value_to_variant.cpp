#include "convert/value_to_variant.h"

#include <cstring>

#include "convert/code_page.h"
#include "convert/value_payload.h"
#include "convert/variant_element.h"
#include "hostrt/core.h"
#include "hostrt/host_string.h"
#include "hostrt/platform.h"

namespace {

// The longest NUL-ended text taken, in its own characters (bytes for 8-bit text).
constexpr std::uint32_t kTextMax = 255;

// Exactly as many characters as the text converts to, so that no character of the BSTR is left unwritten.
BSTR AnsiToBstr(const char* text, std::uint32_t bytes)
{
    std::uint32_t units = PlatformAnsiToWide(text, bytes, nullptr, 0);
    BSTR bstr = SysAllocStringLen(nullptr, units);
    if (bstr != nullptr && units != 0) PlatformAnsiToWide(text, bytes, bstr, units);
    return bstr;
}

VARIANT_BOOL VariantBool(const HostValue& value)
{
    return value.payload[0] != 0 ? VARIANT_TRUE : VARIANT_FALSE;
}

// The text a value refers to, in its own width; a null pointer is the empty text.
struct TextSpan {
    const void* text = nullptr;
    std::uint32_t length = 0;
    bool isAnsi = false;
};

TextSpan TextSpanOf(const HostValue& value)
{
    TextSpan span;
    switch (value.type) {
    case TypeText:
        span.text = ReadPayload<const char*>(value);
        span.length =
            span.text == nullptr ? 0 : AnsiCut(AnsiCodePage(), static_cast<const char*>(span.text), kTextMax);
        span.isAnsi = true;
        break;
    case TypeTextBuf:
    case TypeWTextBuf:
        span.text = ReadPayload<const void*>(value, kBufPointerOffset);
        span.length = span.text == nullptr ? 0 : ReadPayload<std::uint32_t>(value, kBufLengthOffset);
        span.isAnsi = value.type == TypeTextBuf;
        break;
    case TypeWText:
        span.text = ReadPayload<const wchar_t*>(value);
        span.length = span.text == nullptr ? 0 : WideLen(kTextMax, static_cast<const wchar_t*>(span.text));
        break;
    default: { // TypeString
        const wchar_t* chars = nullptr;
        StringView(ReadPayload<HostString>(value), &chars, &span.length);
        span.text = chars;
        break;
    }
    }
    return span;
}

// Element i of an array of element's type, read in the element's width: an array has one type on the
// server, and the first entry chose it.
void FillElement(const VariantElement& element, const HostValue& entry, unsigned char* out)
{
    if (element.vt == VT_BSTR) {
        BSTR text = nullptr;
        TextToBstr(entry, &text);
        std::memcpy(out, &text, sizeof text);
    } else if (entry.type == TypeNone) {
        // A never-stored entry has no payload of its own; what it held before must not reach the device.
        std::memset(out, 0, element.size);
    } else if (element.vt == VT_BOOL) {
        VARIANT_BOOL flag = VariantBool(entry);
        std::memcpy(out, &flag, sizeof flag);
    } else {
        std::memcpy(out, entry.payload, element.size);
    }
}

} // namespace

bool ValueToVariant(const HostValue& value, VARIANT& variant)
{
    VariantClear(&variant);
    switch (value.type) {
    // VT_VOID rather than VT_EMPTY: a value that was never set is sent as such.
    case TypeNone:
        variant.vt = VT_VOID;
        return true;
    case TypeBool:
        variant.vt = VT_BOOL;
        variant.boolVal = VariantBool(value);
        return true;
    // Scalars go out in a signed type wide enough for them; TypeU32 keeps its bits.
    case TypeU8:
    case TypeU16:
    case TypeU32:
    case TypeI32:
        variant.vt = VT_I4;
        variant.lVal = static_cast<LONG>(IntegerOf(value));
        return true;
    case TypeI8:
    case TypeI16:
        variant.vt = VT_I2;
        variant.iVal = static_cast<SHORT>(IntegerOf(value));
        return true;
    // Copied as bits: a NaN is sent as it is, never loaded into the FPU.
    case TypeF32:
    case TypeF64:
        variant.vt = value.type == TypeF32 ? VT_R4 : VT_R8;
        std::memcpy(&variant.dblVal, value.payload, value.type == TypeF32 ? sizeof(FLOAT) : sizeof(DOUBLE));
        return true;
    default:
        if (!IsTextType(value.type)) return false;
        variant.vt = VT_BSTR;
        variant.bstrVal = nullptr;
        TextToBstr(value, &variant.bstrVal);
        return true;
    }
}

bool ValuesToVariant(std::uint32_t count, const HostValue* elements, VARIANT& variant)
{
    if (count == 0 || elements == nullptr) return false;
    const VariantElement* element = ElementForHostType(elements[0].type);
    if (element == nullptr) return false;
    VariantClear(&variant);
    variant.vt = VT_ARRAY | element->vt;
    SAFEARRAYBOUND bound{count, 0};
    variant.parray = SafeArrayCreate(element->vt, 1, &bound);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(variant.parray, &data))) return false;
    // One pass over the data block, with the array's own element size as the stride.
    auto* out = static_cast<unsigned char*>(data);
    for (std::uint32_t i = 0; i < count; ++i)
        FillElement(*element, elements[i], out + std::size_t{i} * variant.parray->cbElements);
    SafeArrayUnaccessData(variant.parray);
    return true;
}

void TextToBstr(const HostValue& value, BSTR* place)
{
    if (!IsTextType(value.type)) return;
    TextSpan span = TextSpanOf(value);
    if (span.isAnsi)
        *place = AnsiToBstr(static_cast<const char*>(span.text), span.length);
    else
        *place = SysAllocStringLen(static_cast<const wchar_t*>(span.text), span.length);
}
