#pragma once
// HostValue: the host's typed value record (12 bytes), and HostTimestamp. Both layouts are fixed by the
// host: values cross the export boundary by pointer and by value.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "hostrt/host_string.h"

enum HostType : std::uint32_t {
    TypeNone = 0,
    TypeBool = 2,
    TypeU8 = 3,
    TypeU16 = 4,
    TypeU32 = 5,
    TypeI8 = 6,
    TypeI16 = 7,
    TypeI32 = 8,
    TypeF32 = 9,
    TypeF64 = 10,
    TypeText = 11,      // pointer to NUL-ended text in the caller's width, host memory
    TypeString = 14,    // HostString owned by the value
    TypeTextBuf = 15,   // length, pointer: counted text in the caller's width, host memory
    TypeWText = 111,    // pointer to NUL-ended UTF-16 text, host memory
    TypeWTextBuf = 115, // length (UTF-16 units), pointer: counted UTF-16 text, host memory
};

// The payload holds a 4-byte length and a pointer: 8 bytes for the 32-bit host, 12 in the 64-bit test
// build, where a pointer is 8 bytes wide and every other field keeps its offset.
struct HostValue {
    std::uint32_t type; // a HostType code; any other code is carried unchanged
    std::uint8_t
        payload[4 + sizeof(void*)]; // meaning given by the type code; only its bytes belong to the value
};
#if defined(__i386__)
static_assert(sizeof(HostValue) == 12, "host contract: value record is 12 bytes");
#else
static_assert(sizeof(HostValue) == 16, "test build: value record is 16 bytes");
#endif
static_assert(offsetof(HostValue, payload) == 4, "host contract: payload follows the type code");
static_assert(std::is_trivially_copyable_v<HostValue>, "passed by value across the host boundary");

struct HostTimestamp {
    std::uint32_t msOfDay; // milliseconds since midnight, UTC
    std::uint8_t day;
    std::uint8_t month;
    std::uint16_t year;
};
static_assert(sizeof(HostTimestamp) == 8, "host contract: timestamp record is 8 bytes");
static_assert(offsetof(HostTimestamp, day) == 4 && offsetof(HostTimestamp, month) == 5 &&
                  offsetof(HostTimestamp, year) == 6,
              "host contract: timestamp layout");

// Makes a value own nothing: frees its HostString (TypeString) and sets TypeNone; the payload is left.
void ReleaseValue(HostValue& value);
