#include "convert/value_record.h"

#include <cstring>

#include "hostrt/core.h"

void ReleaseValue(HostValue& value)
{
    if (value.type == TypeString) {
        // The handle lives in payload bytes 0-3, which need not be aligned for a pointer.
        HostString handle = nullptr;
        std::memcpy(&handle, value.payload, sizeof handle);
        FreeBlock(handle);
        std::memcpy(value.payload, &handle, sizeof handle);
    }
    value.type = TypeNone;
}
