#pragma once
// Names of the host's value types as the user types them (--as, CH:TYPE=VALUE), names of OPC
// canonical data types, and the host type that a canonical type suggests.

#include <cstdint>
#include <string>

#include <wtypes.h>

// The host type for a name ("bool", "u8" ... "f64", "text", "textbuf", "wtext", "wtextbuf"), matched
// without regard to case. False for any other name.
bool HostTypeFromName(const std::wstring& name, std::uint32_t& type);
// The user's name of a host type, or "type N" for a code without one.
std::wstring HostTypeName(std::uint32_t type);
// Every name HostTypeFromName accepts, comma-separated, for usage messages.
std::wstring HostTypeNameList();

// "R8", "BSTR", "I4[]" for an array, "VT 0x0040" for a type without a name.
std::wstring VarTypeName(VARTYPE vt);
// The host type in which a value of canonical type vt is read or written without loss where the
// driver allows it: the same width and signedness, text for currency, date and decimal, the element
// type for an array. Types the driver cannot carry (64-bit integers) suggest f64.
std::uint32_t SuggestedHostType(VARTYPE vt);
