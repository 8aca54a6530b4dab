#include "config/server_keys.h"

#include "config/error_text.h"
#include "hostrt/core.h"
#include "hostrt/param_value.h"

const ServerKey* FindServerKey(std::uint32_t length, const wchar_t* name)
{
    for (const auto& key : kServerKeys)
        if (SameName(length, name, WideLen(kKeyMax, key.name), key.name)) return &key;
    return nullptr;
}
