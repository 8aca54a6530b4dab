#!/usr/bin/env python3
"""Static checks of the shipped i686 tagport.dll, for every machine, including those that cannot run it:
its machine is i386, it exports exactly the names of tagport.def (undecorated), it imports only Windows
system DLLs, and every exported function returns with a plain ret (cdecl: the caller cleans the stack),
never with ret N. Prints one line per check; exits 1 when any fails.

Usage: check_i686_dll.py <tagport.dll> <tagport.def>
"""
import re
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"
EXPORT_COUNT = 47
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "ole32.dll", "oleaut32.dll", "advapi32.dll", "msvcrt.dll",
    "rpcrt4.dll", "shell32.dll", "gdi32.dll", "version.dll", "ws2_32.dll",
}


def objdump(*args):
    return subprocess.run([OBJDUMP, *args], check=True, capture_output=True, text=True).stdout


def def_names(path):
    names, in_exports = [], False
    for line in open(path, encoding="ascii"):
        line = line.split(";")[0].strip()
        if not line:
            continue
        if line.upper() == "EXPORTS":
            in_exports = True
        elif in_exports:
            names.append(line.split("=")[0].strip().strip('"'))
    return names


def export_table(headers):
    """{name: rva} from objdump -p."""
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    rvas = {}
    for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-fA-F]+)\s+Export RVA", headers, re.M):
        rvas[int(m.group(1))] = int(m.group(2), 16)
    names = {}
    table = headers.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) == 2:
        for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+(\S+)\s*$", table[1], re.M):
            names[m.group(2)] = image_base + rvas[int(m.group(1))]
    return names


def functions(disassembly):
    """{address: (name, [instruction lines])} of every symbol in .text."""
    funcs, current = {}, None
    for line in disassembly.splitlines():
        head = re.match(r"^([0-9a-f]+) <([^>]+)>:$", line)
        if head:
            current = int(head.group(1), 16)
            funcs[current] = (head.group(2), [])
        else:
            instruction = re.match(r"^\s*[0-9a-f]+:\t(?:[0-9a-f]{2} )*\t?(.*)$", line)
            if current is not None and instruction:
                funcs[current][1].append(instruction.group(1).strip())
    return funcs


def returns_of(address, funcs, seen):
    """The ret instructions reachable from a function, following tail jumps into other functions."""
    if address in seen or address not in funcs:
        return []
    seen.add(address)
    found = []
    for text in funcs[address][1]:
        if re.match(r"^ret[lw]?\b", text):
            found.append(text)
        jump = re.match(r"^jmp\s+([0-9a-f]+) <([^>+]+)>$", text)
        if jump and int(jump.group(1), 16) in funcs and int(jump.group(1), 16) != address:
            found += returns_of(int(jump.group(1), 16), funcs, seen)
    return found


def main():
    dll, def_file = sys.argv[1], sys.argv[2]
    failures = 0

    def report(ok, text):
        nonlocal failures
        print(("ok    " if ok else "FAIL  ") + text)
        failures += 0 if ok else 1

    header = objdump("-f", dll)
    report("file format pei-i386" in header and "architecture: i386" in header, "PE machine is i386")

    headers = objdump("-p", dll)
    exports = export_table(headers)
    wanted = def_names(def_file)
    report(len(wanted) == EXPORT_COUNT and sorted(exports) == sorted(wanted),
           f"exports exactly the {EXPORT_COUNT} names of tagport.def, undecorated ({len(exports)} found)")
    extra, missing = sorted(set(exports) - set(wanted)), sorted(set(wanted) - set(exports))
    if extra or missing:
        print(f"      extra: {extra}; missing: {missing}")

    imports = [m.lower() for m in re.findall(r"DLL Name: (\S+)", headers)]
    foreign = [name for name in imports if name not in SYSTEM_DLLS]
    report(imports and not foreign, "imports only Windows system DLLs: " + ", ".join(imports) +
           (f" (not system: {foreign})" if foreign else ""))

    funcs = functions(objdump("-d", "--no-show-raw-insn", dll))
    bad = []
    for name, address in sorted(exports.items()):
        rets = returns_of(address, funcs, set())
        if not rets or any(r != "ret" for r in rets):
            bad.append(f"{name}: {sorted(set(rets)) or 'no ret found'}")
    report(not bad and len(exports) > 0,
           f"every exported function returns with a plain ret, never ret N ({len(exports)} disassembled)")
    for line in bad:
        print("      " + line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
