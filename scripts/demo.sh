#!/usr/bin/env bash
# The demo: builds everything, then starts the local CRM sandbox, the host stand-in
# with a sample quote, and - through the stand-in's site.ini - pellwick, configured
# for the sandbox. All state lives in ./demo-state (override: PELLWICK_DEMO_STATE),
# never in the user's real settings. Close the stand-in (File > Exit) to end the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLWICK_BUILD_DIR:-$root/build}
state=${PELLWICK_DEMO_STATE:-$root/demo-state}
port=${PELLWICK_DEMO_PORT:-8443}

# Without a desktop session, give the programs a private bus and a virtual screen.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ -z "${PELLWICK_DEMO_IN_BUS:-}" ]; then
    "$root/scripts/deps.sh"
    PELLWICK_DEMO_IN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${PELLWICK_DEMO_IN_XVFB:-}" ]; then
    "$root/scripts/deps.sh"
    echo "No display found: running on a virtual screen (xvfb); screenshots go to $state/screens."
    PELLWICK_DEMO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" "$@"
fi

"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

mkdir -p "$state"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT INT TERM

# 1. The CRM sandbox, with demo data; wait for its ready line.
ready="$state/sandbox.ready"; rm -f "$ready"
python3 "$root/sandbox/crm_sandbox.py" --state "$state/sandbox" --port "$port" --app demo \
    --api-key demo-api-key --seed demo >"$ready" 2>"$state/sandbox.log" &
pids+=($!)
for _ in $(seq 1 300); do grep -q '^SANDBOX_READY' "$ready" 2>/dev/null && break; sleep 0.1; done
grep -q '^SANDBOX_READY' "$ready" || { echo "The sandbox did not start:"; cat "$state/sandbox.log"; exit 1; }
ca=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline().split(" ",1)[1])["ca"])' "$ready")
echo "CRM sandbox: https://demo.localhost:$port/api/xmlrpc (API key demo-api-key, CA $ca)"
echo "  call log:  $state/sandbox/calls.jsonl"

# 2. pellwick's settings, pre-configured for the sandbox (a private config home).
export XDG_CONFIG_HOME="$state/config"
python3 "$root/scripts/demo_settings.py" "$XDG_CONFIG_HOME/Varrow/Pellwick.conf" \
    --app demo --key demo-api-key --domain localhost --port "$port" --ca "$ca"

# 3. The host stand-in's program folder, its site.ini listing pellwick as an add-on.
folder="$state/QuoteWerks"; mkdir -p "$folder"
python3 "$root/scripts/demo_settings.py" --site-ini "$folder/site.ini" --addon "$build/shell/app/pellwick"

echo "Host stand-in: program folder $folder; it starts pellwick from site.ini."
if [ -n "${PELLWICK_DEMO_IN_XVFB:-}" ]; then
    "$build/hoststandin/hoststandin" --program-folder "$folder" --quote "$root/hoststandin/sample-quote.json" &
    host=$!; pids+=($host)
    bash "$root/scripts/screenshots.sh" "$state/screens" || true
    wait "$host"
else
    "$build/hoststandin/hoststandin" --program-folder "$folder" --quote "$root/hoststandin/sample-quote.json"
fi
