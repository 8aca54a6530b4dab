#!/usr/bin/env python3
"""The proxy repair of [out, string] parameters, on crafted proxy sources and on widl's own output.

Usage: fix_string_out_params_test.py SCRIPT GENERATED_WIDL_PROXY.c
"""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = None
GENERATED = None

# A procedure format string whose comments reuse the numbers of type offsets (58 here), as widl writes
# them for a larger IDL: a lookup over the whole file finds the procedure comment first.
PROCS = """static const MIDL_PROC_FORMAT_STRING __MIDL_ProcFormatString =
{
    0,
    {
/* 0 (procedure IOPCCommon::GetErrorString) */
        0x33,	/* FC_AUTO_HANDLE */
/* 52 (parameter dwError) */
        NdrFcShort(0x48),	/* flags: in, base type */
        NdrFcShort(0x4),	/* stack offset = 4 */
        0x08,	/* FC_LONG */
        0x0,
/* 58 (parameter ppString) */
        NdrFcShort(0x2013),	/* flags: must size, must free, out, srv size=8 */
        NdrFcShort(0x8),	/* stack offset = 8 */
        NdrFcShort(0x3a),	/* type offset = 58 */
%(extra)s/* 64 (return value) */
        NdrFcShort(0x70),	/* flags: out, return, base type */
        NdrFcShort(0xc),	/* stack offset = 12 */
        0x08,	/* FC_LONG */
        0x0,
        0x0
    }
};
"""
# The second parameter when a case needs one: an [out, string] without the ref pointer before it.
UNREPAIRABLE = """/* 62 (parameter ppOther) */
        NdrFcShort(0x2013),	/* flags: must size, must free, out, srv size=8 */
        NdrFcShort(0xc),	/* stack offset = 12 */
        NdrFcShort(0x44),	/* type offset = 68 */
"""
TYPES = """static const MIDL_TYPE_FORMAT_STRING __MIDL_TypeFormatString =
{
    0,
    {
        NdrFcShort(0x0),
/* 54 (LPWSTR *) */
        0x11, 0x14,		/* FC_RP [allocated_on_stack] [pointer_deref] */
        NdrFcShort(0x2),	/* Offset= 2 (58) */
/* 58 (LPWSTR) */
        0x13, 0x8,	/* FC_OP [simple_pointer] */
/* 60 */
        0x25,	/* FC_C_WSTRING */
        0x5c,	/* FC_PAD */
/* 68 (LPWSTR) */
        0x13, 0x8,	/* FC_OP [simple_pointer] */
/* 70 */
        0x25,	/* FC_C_WSTRING */
        0x5c,	/* FC_PAD */
        0x0
    }
};
"""


def run(source):
    """(exit code, output text or None, error text) of the script on source."""
    with tempfile.TemporaryDirectory() as folder:
        given = os.path.join(folder, "in.c")
        written = os.path.join(folder, "out.c")
        with open(given, "w") as f:
            f.write(source)
        done = subprocess.run([sys.executable, SCRIPT, given, written], capture_output=True, text=True)
        out = None
        if os.path.exists(written):
            with open(written) as f:
                out = f.read()
        return done.returncode, out, done.stderr


class FixStringOutParams(unittest.TestCase):
    def test_collision_with_a_procedure_comment_is_still_repaired(self):
        code, out, err = run(PROCS % {"extra": ""} + TYPES)
        self.assertEqual(code, 0, err)
        self.assertIn("NdrFcShort(0x36),\t/* type offset = 54 */", out)
        self.assertNotIn("type offset = 58", out)
        self.assertIn("Offset= 2 (58)", out)  # the type format string stays as widl wrote it

    def test_parameter_left_one_level_too_deep_fails_without_output(self):
        code, out, err = run(PROCS % {"extra": UNREPAIRABLE} + TYPES)
        self.assertEqual(code, 1)
        self.assertIsNone(out)
        self.assertIn("IOPCCommon::GetErrorString ppOther", err)
        self.assertNotIn("ppString", err)

    def test_source_without_format_strings_fails(self):
        code, out, err = run("/* nothing generated */\n")
        self.assertEqual(code, 1)
        self.assertIsNone(out)

    def test_widl_output_is_repaired_completely(self):
        with open(GENERATED) as f:
            source = f.read()
        code, out, err = run(source)
        self.assertEqual(code, 0, err)
        changed = [line for line, was in zip(out.splitlines(), source.splitlines()) if line != was]
        self.assertEqual(len(changed), 4, changed)  # the four [out, string] LPWSTR* of opcda.idl
        self.assertTrue(all("type offset" in line for line in changed), changed)


if __name__ == "__main__":
    SCRIPT, GENERATED = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=1)
