#!/usr/bin/env bash
# The tool's main job from the command line: compile the example languages and download them.
#   scripts/demo.sh BUILD_DIR [PORT]
# Without PORT a dexio-sim unit is started on a pseudo-terminal (set to 19200,n,8,2, so the
# automatic search has some settings to try) and stopped again at the end.
set -euo pipefail

build="$1"; shift
port="${1:-}"
here="$(cd "$(dirname "$0")/.." && pwd)"
cli="$build/tools/cli/tabsend-cli"
sim="$build/tools/dexio-sim/dexio-sim"
work="$(mktemp -d)"
sim_pid=""

cleanup() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

slot1="$here/examples/english.ini"
slot2="$here/examples/german.ini"
slot3="$here/examples/french.ini"

if [ -z "$port" ]; then
    mkfifo "$work/sim.out"
    "$sim" --settings 19200,n,8,2 --erase-ms 500 --dump-dir "$work/unit" > "$work/sim.out" &
    sim_pid=$!
    exec 3< "$work/sim.out"
    read -r port <&3
    echo "dexio-sim is listening on $port"
fi

echo "== Download (compile, connect, download, read back, disconnect)"
"$cli" download --port "$port" --table "$work/LanTable.ini" \
    --slot1 "$slot1" --slot2 "$slot2" --slot3 "$slot3"
echo "== Switch slot 2 out of operation"
"$cli" toggle --port "$port" --slot 2
