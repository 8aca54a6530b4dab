#pragma once
// Values exchanged with the host's own records: delivered in the type the host asks for, and stored
// into a channel from the host's write requests. wide says how the caller's text is written: UTF-16
// (true, the W exports) or 8-bit text in the system ANSI code page (false).

#include "convert/value_record.h"

// Converts the stored source into the type named by destination's type code, which is never changed.
// Integers keep their low bits, reals are truncated toward zero (NaN, infinities and magnitudes from
// 2^63 give 0), TypeF32 is rounded to nearest. TypeString goes to TypeText (the host's buffer of 256
// characters of the caller's width: at most 255 and a NUL; an ANSI text that needs 256 bytes or more
// becomes the empty text) or to TypeTextBuf (its capacity, no terminator, count 0 when the ANSI text
// does not fit). False, with nothing written, for a pair that is not supported and for a text
// destination without a buffer.
bool DeliverValue(const HostValue& source, HostValue& destination, bool wide);

// Stores the host's value into a channel slot, after releasing what the slot held. TypeText (at most
// 255 characters, cut between whole characters), TypeTextBuf (whole) and TypeString become a string
// the slot owns; every other code is copied with its whole payload, TypeWText and TypeWTextBuf with
// their pointers into the host's memory. False, with the slot left TypeNone, when the host's text
// pointer is null, a counted text or the length field of the host's string block is longer than any
// string can be (kStringMaxLength), or memory runs out. The header word of the host's block is never
// read: a block is copied by its length field.
bool StoreValue(const HostValue& source, HostValue& slot, bool wide);
