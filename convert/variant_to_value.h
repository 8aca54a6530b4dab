#pragma once
// Values received from the OPC server become channel values. Every conversion here either stores the
// whole result or returns false with the destination untouched, so that a channel keeps its last good
// value when a server sends something it cannot take.

#include <cstdint>

#include <windows.h>
#include <oaidl.h>

#include "convert/value_record.h"

// A scalar channel's value from a received VARIANT, by value or by reference. Integers up to 32 bits
// and both real types keep their width and signedness; VT_ERROR and VT_HRESULT become TypeU32;
// currency, date and (by reference) decimal become text in the user's default locale; VT_EMPTY,
// VT_NULL and VT_VOID become TypeNone. 64-bit integers, interfaces, arrays and malformed references
// are refused.
bool VariantToValue(const VARIANT& variant, HostValue& value);

// The first entries of a range's count elements from a received array of any shape, taken in the
// order of its data block: an array shorter than the range leaves the other entries as they were, a
// longer one is cut. Only integer, real, boolean and BSTR arrays are taken, and only when the array's
// own description (element size, recorded type) agrees with the VARIANT's type.
bool VariantToValues(const VARIANT& variant, std::uint32_t count, HostValue* elements);

// The text of bstr (a null BSTR is the empty text) into value as TypeString, embedded NULs included,
// reusing the string value already holds. bstr stays the caller's. False, with value untouched, when
// memory runs out.
bool BstrToString(BSTR bstr, HostValue& value);
