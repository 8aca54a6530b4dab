#!/usr/bin/env python3
"""Repairs a widl 7.0 proxy source: for an out parameter that is a pointer to a string pointer
([out, string] LPWSTR*), widl points the parameter at the string pointer's descriptor instead of the
top-level [allocated_on_stack] ref pointer that precedes it (as it does for every other T**), so the
stub marshals the wrong level and the client receives a null string. The wire format is unchanged.

Type offsets are looked up in the type format string only: the procedure format string carries
comments with the same numbers ("/* 58 (parameter x) */"), which must not hide a type entry. After
the repair, every out parameter must start at a ref pointer; one that still starts at a unique or
full pointer (FC_UP, FC_OP, FC_FP) is described one level too deep, and the script then fails
without writing the output, so that the build stops instead of producing a broken proxy.

Usage: fix_string_out_params.py IN.c OUT.c
"""
import re
import sys

# Pointer kinds that an out parameter can never start with: its top level is always a ref pointer.
NON_REF_POINTERS = ("FC_UP", "FC_OP", "FC_FP")

# "/* 54 (LPWSTR *) */ 0x11, 0x14, /* FC_RP [allocated_on_stack] [pointer_deref] */
#  NdrFcShort(0x2), /* Offset= 2 (58) */"
STACKED_REF = re.compile(r"/\* (\d+) \([^)]*\) \*/\s*0x11, 0x14,\s*/\* FC_RP \[allocated_on_stack\] "
                         r"\[pointer_deref\] \*/\s*NdrFcShort\(0x[0-9a-f]+\),\s*/\* Offset= -?\d+ \((\d+)\) \*/")
# "/* 58 (LPWSTR) */ 0x13, 0x8, /* FC_OP [simple_pointer] */": the first descriptor of a type entry.
TYPE_ENTRY = re.compile(r"/\* (\d+) (?:\([^)]*\) )?\*/\s*0x[0-9a-f]+,(?:\s*0x[0-9a-f]+,)?\s*/\*\s*(FC_\w+)")
# One parameter of the procedure format string that is described by a type offset.
PARAMETER = re.compile(r"(/\* \d+ \(parameter (\w+)\) \*/\s*NdrFcShort\((0x[0-9a-f]+)\),\s*/\* flags: [^*]*\*/\s*"
                       r"NdrFcShort\(0x[0-9a-f]+\),\s*/\* stack offset = \d+ \*/\s*)"
                       r"NdrFcShort\(0x[0-9a-f]+\),\s*/\* type offset = (\d+) \*/")
PROCEDURE = re.compile(r"/\* \d+ \(procedure ([\w:]+)\) \*/")
OUT_FLAG = 0x10
# Must size, must free, out, server size 8: how widl flags an [out, string] LPWSTR*.
STRING_OUT_FLAGS = 0x2013


def section(src, name):
    """(start, end) of the initialiser of the format string called name."""
    start = src.find(name + " =")
    if start < 0:
        raise ValueError("no %s in the proxy source" % name)
    end = src.find("\n};", start)
    if end < 0:
        raise ValueError("%s is not closed" % name)
    return start, end


def type_kinds(types):
    """Offset of each type entry -> the first format character's name (FC_RP, FC_OP, ...)."""
    return {int(m.group(1)): m.group(2) for m in TYPE_ENTRY.finditer(types)}


def repair(procs, types):
    """The procedure format string with each [out, string] parameter pointed at its ref pointer."""
    kinds = type_kinds(types)
    stacked = {int(m.group(2)): int(m.group(1)) for m in STACKED_REF.finditer(types)}

    def fix(m):
        target = int(m.group(4))
        outer = stacked.get(target)
        if int(m.group(3), 16) != STRING_OUT_FLAGS or outer is None or kinds.get(target) != "FC_OP":
            return m.group(0)
        return "%sNdrFcShort(0x%x),\t/* type offset = %d */" % (m.group(1), outer, outer)

    return PARAMETER.sub(fix, procs)


def too_deep(procs, types):
    """'procedure parameter' of every out parameter that does not start at a ref pointer."""
    kinds = type_kinds(types)
    found = []
    procedure = "?"
    pos = 0
    for m in PARAMETER.finditer(procs):
        for p in PROCEDURE.finditer(procs, pos, m.start()):
            procedure = p.group(1)
        pos = m.end()
        if int(m.group(3), 16) & OUT_FLAG and kinds.get(int(m.group(4))) in NON_REF_POINTERS:
            found.append("%s %s" % (procedure, m.group(2)))
    return found


def process(src):
    """(repaired source, list of parameters still described one level too deep)."""
    t_start, t_end = section(src, "__MIDL_TypeFormatString")
    p_start, p_end = section(src, "__MIDL_ProcFormatString")
    types = src[t_start:t_end]
    procs = repair(src[p_start:p_end], types)
    out = src[:p_start] + procs + src[p_end:]
    return out, too_deep(procs, types)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: fix_string_out_params.py IN.c OUT.c\n")
        return 2
    with open(argv[1]) as f:
        src = f.read()
    try:
        out, broken = process(src)
    except ValueError as e:
        sys.stderr.write("fix_string_out_params: %s\n" % e)
        return 1
    if broken:
        for name in broken:
            sys.stderr.write("fix_string_out_params: out parameter %s is still described one level too "
                             "deep (not at a ref pointer)\n" % name)
        return 1
    with open(argv[2], "w") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
