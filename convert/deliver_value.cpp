#include "convert/caller_exchange.h"

#include <cstdint>
#include <cstring>

#include "convert/value_payload.h"
#include "hostrt/core.h"
#include "hostrt/host_string.h"
#include "hostrt/platform.h"

namespace {

// The host's TypeText buffer holds 256 characters of the caller's width, its NUL included.
constexpr std::uint32_t kTextMax = 255;

// IEEE 754 fields. Reals are taken apart by their bits wherever a NaN could reach the FPU: a host may
// run with the invalid-operation exception unmasked, and merely loading a signalling NaN raises it.
constexpr std::uint64_t kF64Sign = 0x8000000000000000ull;
constexpr std::uint64_t kF64Exponent = 0x7FF0000000000000ull;
constexpr std::uint64_t kF64Fraction = 0x000FFFFFFFFFFFFFull;
constexpr std::uint64_t kF64Quiet = 0x0008000000000000ull;
constexpr std::uint32_t kF32Sign = 0x80000000u;
constexpr std::uint32_t kF32Exponent = 0x7F800000u;
constexpr std::uint32_t kF32Fraction = 0x007FFFFFu;
constexpr std::uint32_t kF32Quiet = 0x00400000u;
constexpr int kFractionShift = 29; // 52 - 23 fraction bits

template <class To, class From> To BitCast(const From& from)
{
    static_assert(sizeof(To) == sizeof(From), "same width");
    To to{};
    std::memcpy(&to, &from, sizeof to);
    return to;
}

bool IsNan(std::uint64_t bits)
{
    return (bits & kF64Exponent) == kF64Exponent && (bits & kF64Fraction) != 0;
}

// A real source as the bits of a double; single precision is widened exactly. A NaN keeps its sign and
// leading payload and becomes quiet, as the FPU would make it, without being loaded.
std::uint64_t RealBitsOf(const HostValue& source)
{
    if (source.type == TypeF64) return ReadPayload<std::uint64_t>(source);
    std::uint32_t bits = ReadPayload<std::uint32_t>(source);
    if ((bits & kF32Exponent) == kF32Exponent && (bits & kF32Fraction) != 0)
        return std::uint64_t{bits & kF32Sign} << 32 | kF64Exponent | kF64Quiet |
               std::uint64_t{bits & kF32Fraction} << kFractionShift;
    return BitCast<std::uint64_t>(static_cast<double>(BitCast<float>(bits)));
}

// Rounded to the nearest single-precision value, ties to even.
std::uint32_t SingleBitsOf(std::uint64_t bits)
{
    if (IsNan(bits))
        return static_cast<std::uint32_t>((bits & kF64Sign) >> 32) | kF32Exponent | kF32Quiet |
               static_cast<std::uint32_t>((bits & kF64Fraction) >> kFractionShift);
    return BitCast<std::uint32_t>(static_cast<float>(BitCast<double>(bits)));
}

// Toward zero through a 64-bit integer. The range is tested before converting, because converting a
// NaN or a number out of range raises the invalid-operation exception.
std::int64_t TruncateReal(std::uint64_t bits)
{
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (IsNan(bits)) return 0;
    double d = BitCast<double>(bits);
    if (!(d > -kLimit && d < kLimit)) return 0;
    return static_cast<std::int64_t>(d);
}

// The low bits of number in an integer destination's width; false for any other destination.
bool PutInteger(std::int64_t number, HostValue& destination)
{
    switch (destination.type) {
    case TypeU8:
    case TypeI8:
        WritePayload(destination, static_cast<std::uint8_t>(number));
        return true;
    case TypeU16:
    case TypeI16:
        WritePayload(destination, static_cast<std::uint16_t>(number));
        return true;
    case TypeU32:
    case TypeI32:
        WritePayload(destination, static_cast<std::uint32_t>(number));
        return true;
    default:
        return false;
    }
}

bool DeliverBool(const HostValue& source, HostValue& destination)
{
    if (destination.type != TypeBool) return PutInteger(source.payload[0] != 0 ? 1 : 0, destination);
    destination.payload[0] = source.payload[0];
    return true;
}

bool DeliverInteger(const HostValue& source, HostValue& destination)
{
    // From 64 bits, so that an unsigned 32-bit number is converted as one, in a single rounding.
    std::int64_t number = IntegerOf(source);
    if (destination.type == TypeF32)
        WritePayload(destination, static_cast<float>(number));
    else if (destination.type == TypeF64)
        WritePayload(destination, static_cast<double>(number));
    else
        return PutInteger(number, destination);
    return true;
}

bool DeliverReal(const HostValue& source, HostValue& destination)
{
    std::uint64_t bits = RealBitsOf(source);
    if (destination.type == TypeF32)
        WritePayload(destination, SingleBitsOf(bits));
    else if (destination.type == TypeF64)
        WritePayload(destination, bits);
    else
        return PutInteger(TruncateReal(bits), destination);
    return true;
}

void DeliverAnsiText(const wchar_t* chars, std::uint32_t length, char* buffer)
{
    // At most 255 bytes, so that the NUL always fits: a text that would need the 256th byte converts to
    // nothing (the system refuses rather than cut) and is delivered as the empty text, like a longer one.
    buffer[PlatformWideToAnsi(chars, length, buffer, kTextMax)] = '\0';
}

std::uint32_t DeliverTextBuf(const wchar_t* chars, std::uint32_t length, void* buffer, std::uint32_t capacity,
                             bool wide)
{
    std::uint32_t n = MinOf(length, capacity);
    if (!wide) return PlatformWideToAnsi(chars, n, static_cast<char*>(buffer), capacity);
    if (n != 0) CopyChars(chars, static_cast<wchar_t*>(buffer), n);
    return n;
}

bool DeliverString(const HostValue& source, HostValue& destination, bool wide)
{
    const wchar_t* chars = nullptr;
    std::uint32_t length = 0;
    StringView(ReadPayload<HostString>(source), &chars, &length);
    if (destination.type == TypeText) {
        void* buffer = ReadPayload<void*>(destination);
        if (buffer == nullptr) return false;
        if (wide)
            CopyText(kTextMax, static_cast<wchar_t*>(buffer), kTextMax, chars);
        else
            DeliverAnsiText(chars, length, static_cast<char*>(buffer));
        return true;
    }
    if (destination.type == TypeTextBuf) {
        void* buffer = ReadPayload<void*>(destination, kBufPointerOffset);
        if (buffer == nullptr) return false;
        std::uint32_t capacity = ReadPayload<std::uint32_t>(destination, kBufLengthOffset);
        WritePayload(destination, DeliverTextBuf(chars, length, buffer, capacity, wide), kBufLengthOffset);
        return true;
    }
    return false;
}

} // namespace

bool DeliverValue(const HostValue& source, HostValue& destination, bool wide)
{
    switch (source.type) {
    case TypeBool:
        return DeliverBool(source, destination);
    case TypeU8:
    case TypeU16:
    case TypeU32:
    case TypeI8:
    case TypeI16:
    case TypeI32:
        return DeliverInteger(source, destination);
    case TypeF32:
    case TypeF64:
        return DeliverReal(source, destination);
    case TypeString:
        return DeliverString(source, destination, wide);
    default:
        return false;
    }
}
