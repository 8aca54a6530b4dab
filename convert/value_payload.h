#pragma once
// Typed access to the payload of a HostValue. The payload starts at offset 4 of the packed host record,
// so a double in it is not 8-aligned: its fields are always copied, never read through a cast pointer.
// A write touches only sizeof(T) bytes; the rest of the payload keeps what it held.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "convert/value_record.h"

template <class T> T ReadPayload(const HostValue& value, std::size_t offset = 0)
{
    static_assert(std::is_trivially_copyable_v<T>, "payload fields are plain bytes");
    T field{};
    std::memcpy(&field, value.payload + offset, sizeof field);
    return field;
}

template <class T> void WritePayload(HostValue& value, const T& field, std::size_t offset = 0)
{
    static_assert(std::is_trivially_copyable_v<T>, "payload fields are plain bytes");
    std::memcpy(value.payload + offset, &field, sizeof field);
}

// Payload offsets of the counted text types (TypeTextBuf, TypeWTextBuf): the length, then the pointer.
constexpr std::size_t kBufLengthOffset = 0;
constexpr std::size_t kBufPointerOffset = 4;

// The number of an integer value (TypeU8 to TypeI32): zero-extended from the unsigned types,
// sign-extended from the signed ones.
inline std::int64_t IntegerOf(const HostValue& value)
{
    switch (value.type) {
    case TypeU8:
        return ReadPayload<std::uint8_t>(value);
    case TypeU16:
        return ReadPayload<std::uint16_t>(value);
    case TypeU32:
        return ReadPayload<std::uint32_t>(value);
    case TypeI8:
        return ReadPayload<std::int8_t>(value);
    case TypeI16:
        return ReadPayload<std::int16_t>(value);
    default:
        return ReadPayload<std::int32_t>(value);
    }
}

inline bool IsTextType(std::uint32_t type)
{
    return type == TypeText || type == TypeString || type == TypeTextBuf || type == TypeWText ||
           type == TypeWTextBuf;
}
