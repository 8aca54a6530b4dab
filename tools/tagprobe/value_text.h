#pragma once
// Values between the command line and the host's value record: parsing what the user typed as a host
// type, and formatting what the driver delivered.

#include <cstdint>
#include <string>

#include "convert/value_record.h"

// A value to hand to OutputRequest. Text lives in the record's own strings; BindValue points the
// value's payload at them right before the call, so the record may be moved freely until then.
struct ProbeValue {
    HostValue value{TypeNone, {}};
    std::string ansi{};   // text in the ANSI code page, for text and textbuf of the ANSI exports
    std::wstring wide{};  // UTF-16 text, for wtext and wtextbuf, and text and textbuf of the W exports
    std::wstring shown{}; // how the value reads in a table
};

// Longest text the driver stores from a NUL-ended text value; longer ones it would cut silently.
constexpr std::size_t kTextValueMax = 255;

// Parses text as a value of host type type for the export family (wide: the W exports). False with a
// reason that completes the sentence "<text> ..." (for example "is out of range for u8 (0 to 255)").
bool ParseValueText(const std::wstring& text, std::uint32_t type, bool wide, ProbeValue& out,
                    std::wstring& reason);
// The record to pass to OutputRequest: text types point into value's own strings.
HostValue BindValue(ProbeValue& value, bool wide);

// A destination record for GetInput3 of type type, with its own text buffer. Every byte that the
// driver may write starts as the sentinel, so that a refused delivery (nothing written) can be told
// from an accepted one.
struct DeliverySlot {
    static constexpr std::uint32_t kTextUnits = 256; // the host's text buffer: 256 characters with NUL
    HostValue value{TypeNone, {}};
    char ansi[kTextUnits + 1] = {};
    wchar_t wide[kTextUnits + 1] = {};
};

void PrepareSlot(DeliverySlot& slot, std::uint32_t type, bool wide, std::uint8_t sentinel);
// Whether the driver wrote anything into a slot prepared with sentinel.
bool SlotWasWritten(const DeliverySlot& slot, bool wide, std::uint8_t sentinel);
// The delivered value as it reads in a table: numbers in decimal, text in double quotes.
std::wstring FormatSlot(const DeliverySlot& slot, bool wide);

// A number in its shortest decimal form that reads back as the same float or double.
std::wstring FormatReal(double value, bool single);
