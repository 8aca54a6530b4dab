#pragma once
// Builders and readers of HostValue records for tests. Header-only: they call the host runtime and the
// value helpers, which every test program gets through tagport_core.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "convert/string_value.h"
#include "convert/value_payload.h"
#include "convert/value_record.h"
#include "hostrt/host_string.h"

// Payload bytes that an operation must leave alone start out as this.
constexpr std::uint8_t kPayloadSentinel = 0xA5;

// A value of type whose payload is all sentinel bytes.
inline HostValue SentinelValue(std::uint32_t type)
{
    HostValue value{type, {}};
    std::memset(value.payload, kPayloadSentinel, sizeof value.payload);
    return value;
}

// A value of type with datum at the start of an otherwise sentinel payload. By value, so that a text
// literal is stored as its pointer.
template <class T> HostValue MakeValue(std::uint32_t type, T datum)
{
    static_assert(sizeof(T) <= sizeof(HostValue::payload), "a datum fits the payload");
    HostValue value = SentinelValue(type);
    WritePayload(value, datum);
    return value;
}

// TypeTextBuf or TypeWTextBuf: the length, then the pointer.
inline HostValue CountedText(std::uint32_t type, std::uint32_t length, const void* text)
{
    HostValue value = SentinelValue(type);
    WritePayload(value, length, kBufLengthOffset);
    WritePayload(value, text, kBufPointerOffset);
    return value;
}

// A TypeString that owns text, NULs included; the test releases it with ReleaseValue.
inline HostValue StringOf(const std::wstring& text)
{
    HostValue value = SentinelValue(TypeNone);
    if (!AssignStringValue(value, text.data(), static_cast<std::uint32_t>(text.size())))
        ADD_FAILURE() << "no memory for a test string";
    return value;
}

// The text of a TypeString, read from its block as the host would (length field and characters).
inline std::wstring TextOf(const HostValue& value)
{
    if (value.type != TypeString) {
        ADD_FAILURE() << "type " << value.type << " is not TypeString";
        return {};
    }
    HostString handle = ReadPayload<HostString>(value);
    return handle == nullptr ? std::wstring() : std::wstring(handle->chars, handle->length);
}

// The payload bytes from offset on still hold the sentinel.
inline ::testing::AssertionResult SentinelFrom(const HostValue& value, std::size_t offset)
{
    for (std::size_t i = offset; i < sizeof value.payload; ++i)
        if (value.payload[i] != kPayloadSentinel)
            return ::testing::AssertionFailure() << "payload byte " << i << " written";
    return ::testing::AssertionSuccess();
}
