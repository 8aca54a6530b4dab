#include "convert/value_record.h"

#include "convert/value_payload.h"
#include "hostrt/core.h"

void ReleaseValue(HostValue& value)
{
    if (value.type == TypeString) {
        HostString handle = ReadPayload<HostString>(value);
        FreeBlock(handle);
        WritePayload(value, handle);
    }
    value.type = TypeNone;
}
