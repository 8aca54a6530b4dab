#pragma once
// The VARIANT types that arrays are exchanged in, one row per type, shared by both directions so that
// reading and writing an array agree on each type's host type and width.

#include <cstdint>

#include "convert/value_record.h"

struct VariantElement {
    std::uint16_t vt;   // the VARTYPE of an element
    HostType type;      // the host type an element becomes
    std::uint32_t size; // bytes of one element in a SAFEARRAY's data block
};

// The row for an element type read from the server, or null when arrays of it are refused. VT_INT
// and VT_UINT read as VT_I4 and VT_UI4.
const VariantElement* ElementForVartype(std::uint16_t vt);
// The row an array is written in when its first entry has the given type, or null for TypeNone and
// codes without a meaning. Every text type is written as VT_BSTR.
const VariantElement* ElementForHostType(std::uint32_t type);
