# Sourced by the other scripts: where things live, and a Wine environment of the project's own.
# TAGPORT_BUILD picks another build folder (each with its own Wine prefix), e.g. for parallel work.
TAGPORT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TAGPORT_BUILD="${TAGPORT_BUILD:-$TAGPORT_ROOT/build/main}"
case "$TAGPORT_BUILD" in /*) ;; *) TAGPORT_BUILD="$TAGPORT_ROOT/$TAGPORT_BUILD" ;; esac
TAGPORT_DEPS="$TAGPORT_ROOT/build/deps"
export TAGPORT_ROOT TAGPORT_BUILD TAGPORT_DEPS
export WINEPREFIX="$TAGPORT_BUILD/wine"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Fixed locale, so code-page and date formatting are the same on every machine unless a test says otherwise.
export LANG=C.UTF-8
export LC_ALL=C.UTF-8
unset DISPLAY

# A persistent server for the prefix; one that already runs (another command's) is used as it is.
wine_start() { wineserver -p 2>/dev/null || true; wine wineboot </dev/null >/dev/null 2>&1; }
wine_stop() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; true; }
