#!/usr/bin/env python3
"""Repairs a widl 7.0 proxy source: for an out parameter that is a pointer to a string pointer
([out, string] LPWSTR*), widl points the parameter at the string pointer's descriptor instead of the
top-level [allocated_on_stack] ref pointer that precedes it (as it does for every other T**), so the
stub marshals the wrong level and the client receives a null string. The wire format is unchanged.

Usage: fix_string_out_params.py IN.c OUT.c
"""
import re, sys

src = open(sys.argv[1]).read()
# "/* 54 (LPWSTR *) */ 0x11, 0x14, /* FC_RP [allocated_on_stack] [pointer_deref] */ NdrFcShort(0x2), /* Offset= 2 (58) */"
stacked = {}
for m in re.finditer(r"/\* (\d+) \([^)]*\) \*/\s*0x11, 0x14,\s*/\* FC_RP \[allocated_on_stack\] \[pointer_deref\] \*/"
                     r"\s*NdrFcShort\(0x[0-9a-f]+\),\s*/\* Offset= -?\d+ \((\d+)\) \*/", src):
    stacked[int(m.group(2))] = int(m.group(1))

def fix(m):
    target = int(m.group(2))
    outer = stacked.get(target)
    if outer is None or "FC_OP" not in src[src.find("/* %d (" % target):][:80]:
        return m.group(0)
    return "%sNdrFcShort(0x%x),\t/* type offset = %d */" % (m.group(1), outer, outer)

out, n = re.subn(r"(NdrFcShort\(0x2013\),\s*/\* flags: must size, must free, out, srv size=8 \*/\s*"
                 r"NdrFcShort\(0x[0-9a-f]+\),\s*/\* stack offset = \d+ \*/\s*)"
                 r"NdrFcShort\(0x[0-9a-f]+\),\s*/\* type offset = (\d+) \*/", fix, src)
open(sys.argv[2], "w").write(out)
