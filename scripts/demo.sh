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

# Without a desktop session, give the programs a private bus; without a display, the
# demo runs headless and walks through a save and an e-mail by itself.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ -z "${PELLWICK_DEMO_IN_BUS:-}" ]; then
    "$root/scripts/deps.sh"
    PELLWICK_DEMO_IN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
headless=""
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    headless=1
    export QT_QPA_PLATFORM=offscreen
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
    --app demo --key demo-api-key --domain localhost --port "$port" --ca "$ca" --debug

# 3. The host stand-in's program folder, its site.ini listing pellwick as an add-on.
folder="$state/QuoteWerks"; mkdir -p "$folder"
python3 "$root/scripts/demo_settings.py" --site-ini "$folder/site.ini" --addon "$build/shell/app/pellwick"

echo "Host stand-in: program folder $folder; it starts pellwick from site.ini."
host_cmd=("$build/hoststandin/hoststandin" --program-folder "$folder"
          --quote "$root/hoststandin/sample-quote.json")
if [ -z "$headless" ]; then
    echo "Click through the stand-in (Save, E-mail, select contact) and pellwick's tray icon"
    echo "or window (Configure..., About...). Exit the stand-in to end the demo."
    "${host_cmd[@]}"
    exit 0
fi

# Headless: drive the stand-in over its testing interface and show what happens.
bus_call() { dbus-send --session --print-reply --dest=QuoteWerks.Application /HostStandIn \
                 "com.pellwick.HostStandIn.Testing.$1" "${@:2}"; }
has_owner() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                  org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'; }
log="$build/shell/app/DebugLog.txt"; rm -f "$log"
"${host_cmd[@]}" >"$state/hoststandin.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 300); do has_owner Varrow.Pellwick && break; sleep 0.1; done
has_owner Varrow.Pellwick || { echo "pellwick did not start:"; cat "$state/hoststandin.log"; exit 1; }
for _ in $(seq 1 100); do grep -q 'DataService.query' "$state/sandbox/calls.jsonl" 2>/dev/null && break; sleep 0.1; done
echo
echo "pellwick is running beside the stand-in; it tested its CRM connection:"
grep -h 'DataService.query' "$state/sandbox/calls.jsonl" | head -1 | cut -c1-160
echo
echo "Saving the quote and e-mailing it in the stand-in ..."
bus_call Save >/dev/null
bus_call Email >/dev/null
bus_call SelectContact int16:0 int16:0 >/dev/null
sleep 2
bus_call Screenshot "string:$state/hoststandin.png" >/dev/null || true
echo "pellwick's debug log ($log):"
sed 's/^/  /' "$log" 2>/dev/null | tail -n 25
bash "$root/scripts/screenshots.sh" "$state/screens" >/dev/null 2>&1 || true
echo
echo "Screenshots: $state/hoststandin.png and $state/screens/*.png"
echo "Ending the host; pellwick ends with it."
bus_call Exit >/dev/null 2>&1 || true
for _ in $(seq 1 100); do has_owner Varrow.Pellwick || break; sleep 0.1; done
has_owner Varrow.Pellwick && echo "pellwick is still running (unexpected)" || echo "pellwick has ended."
