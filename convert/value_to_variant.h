#pragma once
// Channel values become VARIANTs for the server. Everything put into a VARIANT here (BSTRs, the
// SAFEARRAY and the BSTRs in it) is owned by that VARIANT: VariantClear releases it all.

#include <cstdint>

#include <windows.h>
#include <oaidl.h>

#include "convert/value_record.h"

// A scalar channel's value: clears variant, then TypeNone becomes VT_VOID, TypeBool VT_BOOL, the
// unsigned types and TypeI32 VT_I4 (TypeU32 from 2^31 up arrives negative), TypeI8 and TypeI16
// VT_I2, the reals VT_R4 and VT_R8, every text type VT_BSTR. False, with variant VT_EMPTY, for a
// code without a meaning.
bool ValueToVariant(const HostValue& value, VARIANT& variant);

// A range's count entries as a one-dimensional array, lower bound 0, of the exact type of the first
// entry (every text type: VT_BSTR). Each entry is read in that element's width, whatever its own
// type; a never-stored entry (TypeNone) is sent as 0, false or a null BSTR, and an entry that is no
// text is a null BSTR in a text array. False, with variant untouched, when the first entry has no
// element type; false, with variant holding the array type and the array (null if it could not be
// created), when the array's data cannot be reached.
bool ValuesToVariant(std::uint32_t count, const HostValue* elements, VARIANT& variant);

// A new BSTR with value's text in *place (a null BSTR when memory runs out); nothing is stored for a
// value that is not text. TypeText and TypeWText give at most 255 characters; TypeText and
// TypeTextBuf are read as 8-bit text in the system ANSI code page; a null text pointer is the empty text.
void TextToBstr(const HostValue& value, BSTR* place);
