# Sourced by the other scripts: where things live, which build runs here, and a Wine environment of
# the project's own. TAGPORT_BUILD picks another build folder (each with its own Wine prefixes), e.g.
# for parallel work.
#
# Two builds of the same sources: the i686 one is the product and is built on every machine; the
# x86_64 one is a test build for machines whose kernel refuses 32-bit code, and runs under 64-bit Wine.
# TAGPORT_ARCH=x86|x64 forces one; otherwise a probe decides.
TAGPORT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TAGPORT_BUILD="${TAGPORT_BUILD:-$TAGPORT_ROOT/build/main}"
case "$TAGPORT_BUILD" in /*) ;; *) TAGPORT_BUILD="$TAGPORT_ROOT/$TAGPORT_BUILD" ;; esac
TAGPORT_DEPS="$TAGPORT_ROOT/build/deps"
export TAGPORT_ROOT TAGPORT_BUILD TAGPORT_DEPS

# True when this machine runs 32-bit x86 code natively: a 96-byte i386 program that only exits with 42.
# A kernel without 32-bit emulation refuses to start it ("Exec format error"). Under a user-mode emulator
# registered for i386 programs it would run, but 32-bit Wine does not: that counts as no.
runs_32bit_code() {
    local probe="$TAGPORT_DEPS/probe-i386"
    local emulator
    for emulator in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i486; do
        [ -f "$emulator" ] && grep -qx enabled "$emulator" && return 1
    done
    if [ ! -x "$probe" ]; then
        mkdir -p "$TAGPORT_DEPS"
        # ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80.
        printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0' >"$probe.tmp"
        printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0' >>"$probe.tmp"
        printf '\270\1\0\0\0\273\52\0\0\0\315\200' >>"$probe.tmp"
        chmod +x "$probe.tmp" && mv "$probe.tmp" "$probe"
    fi
    local status=0
    "$probe" >/dev/null 2>&1 || status=$?
    [ "$status" -eq 42 ]
}

# Left by setup where 32-bit Wine could not be installed (a package mirror in the middle of a sync has
# been seen to refuse it): the x86_64 test build runs instead until the mark is removed.
wine32_refused_mark="$TAGPORT_DEPS/wine32-not-installable"
# A probed choice is probed again by every script that sources this file, so that the scripts that ran
# setup see its fall-back; a forced one is kept.
[ "${TAGPORT_ARCH_PROBED:-}" = 1 ] && TAGPORT_ARCH=""
case "${TAGPORT_ARCH:-}" in
x86 | x64) ;;
"")
    if runs_32bit_code && [ ! -f "$wine32_refused_mark" ]; then TAGPORT_ARCH=x86; else TAGPORT_ARCH=x64; fi
    export TAGPORT_ARCH_PROBED=1
    ;;
*)
    echo "TAGPORT_ARCH must be x86 or x64, not '$TAGPORT_ARCH'" >&2
    exit 3
    ;;
esac
export TAGPORT_ARCH

# TAGPORT_PRODUCT: the i686 build tree. TAGPORT_CMAKE: the build tree that runs here (tests, demo,
# tools); TAGPORT_BIN: its programs and DLLs.
export TAGPORT_PRODUCT="$TAGPORT_BUILD/cmake"
if [ "$TAGPORT_ARCH" = x86 ]; then
    export TAGPORT_CMAKE="$TAGPORT_PRODUCT"
    export WINEPREFIX="$TAGPORT_BUILD/wine"
    export WINEARCH=win32
else
    export TAGPORT_CMAKE="$TAGPORT_BUILD/cmake-x64"
    export WINEPREFIX="$TAGPORT_BUILD/wine64"
    export WINEARCH=win64
    # Debian's wine and winepath pick the 32-bit loader whenever wine32 is installed: the 64-bit loader
    # and server are called by their own paths, under the usual names, through scripts rather than
    # links (the loader finds its preloader by the name it was started as).
    wine64_bin="$TAGPORT_DEPS/wine64-bin"
    if [ ! -x "$wine64_bin/winepath" ]; then
        mkdir -p "$wine64_bin"
        for name in wine wine64 wineserver winepath; do
            case "$name" in
            wineserver) target='exec /usr/lib/wine/wineserver64 "$@"' ;;
            winepath) target='exec /usr/lib/wine/wine64 winepath "$@"' ;;
            *) target='exec /usr/lib/wine/wine64 "$@"' ;;
            esac
            printf '#!/bin/sh\n%s\n' "$target" >"$wine64_bin/$name.tmp"
            chmod +x "$wine64_bin/$name.tmp" && mv "$wine64_bin/$name.tmp" "$wine64_bin/$name"
        done
    fi
    case ":$PATH:" in *":$wine64_bin:"*) ;; *) export PATH="$wine64_bin:$PATH" ;; esac
fi
export TAGPORT_BIN="$TAGPORT_CMAKE/bin"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Fixed locale, so code-page and date formatting are the same on every machine unless a test says otherwise.
export LANG=C.UTF-8
export LC_ALL=C.UTF-8
unset DISPLAY

# The first line of scripts/test and scripts/demo: which build runs here, and why.
platform_line() {
    if [ "$TAGPORT_ARCH" = x86 ]; then
        echo "platform: i686 build under 32-bit Wine (the product itself)"
    elif [ "${TAGPORT_ARCH_PROBED:-}" = 1 ] && [ -f "$wine32_refused_mark" ] && runs_32bit_code; then
        echo "platform: x86_64 test build under 64-bit Wine (32-bit Wine could not be installed: $wine32_refused_mark); the i686 product is built and checked"
    elif runs_32bit_code; then
        echo "platform: x86_64 test build under 64-bit Wine (TAGPORT_ARCH=x64); the i686 product is built and checked"
    else
        echo "platform: x86_64 test build under 64-bit Wine (this machine does not run 32-bit code); the i686 product is built and checked"
    fi
}

# A mirror in the middle of a sync fails some package lists; the lists that did come, with the ones
# already on the machine, usually still hold what is needed, and the install that follows says if not.
refresh_package_lists() {
    apt-get update -qq || echo "$1: some package lists could not be refreshed; installing from what there is" >&2
}

# A persistent server for the prefix; one that already runs (another command's) is used as it is.
wine_start() { wineserver -p 2>/dev/null || true; wine wineboot </dev/null >/dev/null 2>&1; }
wine_stop() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; true; }
