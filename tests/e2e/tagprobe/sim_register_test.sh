#!/usr/bin/env bash
# scripts/sim-register as the demo uses it: the scenario is listed by `tagprobe servers` under its
# ProgID, in the DA 2.0 category and with the scenario's vendor line as description; browse finds it
# by the ProgID; --remove takes the class and the ProgID away again.
set -euo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
source "$root/scripts/env.sh"
probe="$TAGPORT_BIN/tagprobe.exe"
work="$(mktemp -d)"
progid="TagprobeScript.Plant.1"
clsid=""
cleanup() {
    [ -z "$clsid" ] || "$root/scripts/sim-register" --remove "$clsid"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# tagprobe's output goes to files: a server that COM starts from it inherits its handles.
run() { (cd "$work" && wine "$probe" "$@" >"$work/out" 2>&1 </dev/null); }

clsid="$("$root/scripts/sim-register" --progid "$progid" "$root/examples/plant.scenario" "$work/plant.log")"
run servers || fail "servers: $(cat "$work/out")"
grep -qE "^$progid +\\$clsid +2\\.0 +tagport simulation server: demo plant\$" <(tr -d '\r' <"$work/out") ||
    fail "servers does not list $progid $clsid: $(cat "$work/out")"
run browse "$progid" || fail "browse $progid: $(cat "$work/out")"
[ "$(head -n 1 "$work/out" | tr -d '\r')" = "$clsid on this machine: 14 items, flat address space" ] ||
    fail "browse $progid: $(cat "$work/out")"

"$root/scripts/sim-register" --remove "$clsid"
removed="$clsid"
clsid=""
run servers || fail "servers after --remove: $(cat "$work/out")"
! grep -q -e "$progid" -e "$removed" "$work/out" || fail "still listed after --remove: $(cat "$work/out")"
code=0
run browse "$progid" || code=$?
[ "$code" -eq 3 ] || fail "browse of a removed ProgID: exit $code, $(cat "$work/out")"
echo "sim-register and servers: ok"
