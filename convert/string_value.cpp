#include "convert/string_value.h"

#include "convert/value_payload.h"
#include "hostrt/core.h"
#include "hostrt/host_string.h"

bool PrepareStringValue(HostValue& value, std::uint32_t count, wchar_t** chars)
{
    // Any other type owns nothing, so only a TypeString handle is worth keeping.
    HostString handle = value.type == TypeString ? ReadPayload<HostString>(value) : nullptr;
    wchar_t* buffer = nullptr;
    if (!StringAlloc(&handle, count, &buffer, nullptr)) return false;
    // The toolkit may answer a count of 0 with no block at all: then there is no length to write.
    if (handle != nullptr) handle->length = count;
    value.type = TypeString;
    WritePayload(value, handle);
    *chars = buffer;
    return true;
}

bool AssignStringValue(HostValue& value, const wchar_t* chars, std::uint32_t count)
{
    wchar_t* buffer = nullptr;
    if (!PrepareStringValue(value, count, &buffer)) return false;
    if (count != 0) CopyChars(chars, buffer, count);
    return true;
}
