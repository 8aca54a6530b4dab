// VARIANT values as scenario and log text: the type names (R8, I4[2,3], BSTR[1..10]), the scalar
// texts of every simulated type, and arrays as "{e1 e2 ...}" in memory order (dimension 1 fastest).
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

struct ValueType {
    VARTYPE element = VT_EMPTY;           // scalar type, or the element type of an array
    std::vector<SAFEARRAYBOUND> bounds{}; // empty for a scalar; bounds[0] is dimension 1
};

bool ParseValueType(const std::string& text, ValueType& type, std::string& error);
std::string ValueTypeText(const ValueType& type);
const char* ScalarTypeName(VARTYPE vt); // "R8", or nullptr for a type the simulation does not know

// Fills `out` (which must be empty) from one scalar text, or from the element texts of an array.
bool ParseScalar(VARTYPE vt, const std::string& text, VARIANT& out, std::string& error);
bool BuildArray(const ValueType& type, const std::vector<std::string>& elements, VARIANT& out,
                std::string& error);

// The value as the scenario would write it; by-reference values are shown as what they point to.
std::string FormatValue(const VARIANT& value);
// Bounds of an array value in type syntax ("5", "2,3", "1..10"); empty for a scalar.
std::string FormatDims(const VARIANT& value);
