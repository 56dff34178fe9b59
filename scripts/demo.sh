#!/usr/bin/env bash
# The demo: builds everything, then starts the local CRM sandbox, the host stand-in
# with a sample quote, and - through the stand-in's site.ini - pellwick, configured
# for the sandbox. All state lives in ./demo-state (override: PELLWICK_DEMO_STATE),
# never in the user's real settings. Close the stand-in (File > Exit) to end the demo.
# Without a display it walks through a save, the opportunities window, an e-mail and a
# contact selection by itself, operating pellwick's windows as a user would
# (pellwick_walk, which is pellwick with its windows operable over the session bus),
# prints what the CRM then holds and ends. The sandbox listens on port 8443
# (PELLWICK_DEMO_PORT), or on any free port when 8443 is taken and no port was asked for.
# pellwick speaks the CRM's REST v2 interface; PELLWICK_DEMO_INTERFACE=xmlrpc makes it
# speak XML-RPC instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLWICK_BUILD_DIR:-$root/build}
state=${PELLWICK_DEMO_STATE:-$root/demo-state}
port=${PELLWICK_DEMO_PORT:-8443}
case "${PELLWICK_DEMO_INTERFACE:-rest}" in
    rest | REST | restv2 | RESTv2) interface=RESTv2 ;;
    xmlrpc | XMLRPC | xml-rpc | XML-RPC) interface=XMLRPC ;;
    *) echo "PELLWICK_DEMO_INTERFACE must be rest or xmlrpc"; exit 2 ;;
esac

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
# Only what the demo runs: the program (and its walkable twin), the host stand-in and the
# screenshot renderer.
cmake --build "$build" -j2 --target pellwick pellwick_walk hoststandin pellwick_screenshots

mkdir -p "$state"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$state/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi

bus_call() { dbus-send --session --print-reply --reply-timeout=5000 --dest=QuoteWerks.Application \
                 /HostStandIn "com.pellwick.HostStandIn.Testing.$1" "${@:2}"; }
has_owner() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                  org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'; }
owner_pid() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                  org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null |
                  awk '/uint32/ { print $2 }'; }

# A process that runs and is no zombie (an init that never reaps leaves those behind).
alive() { local st; st=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) && [ -n "$st" ] && [ "$st" != Z ]; }

pids=()
pellwick_pid=""
cleanup() {
    trap - EXIT INT TERM
    # The host starts pellwick detached, so it is no child of ours: if it still runs
    # (the host was interrupted before it could announce its exit), ask the host to
    # exit, then end pellwick by its own pid.
    if [ -n "$pellwick_pid" ] && alive "$pellwick_pid"; then
        bus_call Exit >/dev/null 2>&1 || true
        for _ in $(seq 1 30); do alive "$pellwick_pid" || break; sleep 0.1; done
        kill "$pellwick_pid" 2>/dev/null || true
    fi
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# 1. The CRM sandbox, with demo data; wait for its ready line. When the port is taken
#    and none was asked for, take any free one.
ready="$state/sandbox.ready"
start_sandbox() { # port
    rm -f "$ready"
    python3 "$root/sandbox/crm_sandbox.py" --state "$state/sandbox" --port "$1" --app demo \
        --api-key demo-api-key --seed demo >"$ready" 2>"$state/sandbox.log" &
    sandbox_pid=$!
    for _ in $(seq 1 300); do
        grep -q '^SANDBOX_READY' "$ready" 2>/dev/null && return 0
        kill -0 "$sandbox_pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q '^SANDBOX_READY' "$ready" 2>/dev/null
}
ready_field() { python3 -c 'import json,sys
print(json.loads(open(sys.argv[1]).readline().split(" ", 1)[1])[sys.argv[2]])' "$ready" "$1"; }
if ! start_sandbox "$port"; then
    kill "$sandbox_pid" 2>/dev/null || true
    if [ -z "${PELLWICK_DEMO_PORT:-}" ] && grep -q 'cannot listen' "$state/sandbox.log"; then
        echo "Port $port is taken; the sandbox takes any free port."
        start_sandbox 0 || { kill "$sandbox_pid" 2>/dev/null || true; sandbox_pid=""; }
    else
        sandbox_pid=""
    fi
fi
[ -n "$sandbox_pid" ] || { echo "The sandbox did not start:"; cat "$state/sandbox.log"; exit 1; }
pids+=("$sandbox_pid")
port=$(ready_field port)
ca=$(ready_field ca)
rest_url="https://demo.localhost:$port/crm/rest/v2"
echo "CRM sandbox: REST v2 at $rest_url, XML-RPC at https://demo.localhost:$port/api/xmlrpc"
echo "  application demo, API key demo-api-key, CA file $ca"
echo "  pellwick speaks $([ "$interface" = RESTv2 ] && echo "REST v2" || echo "XML-RPC")" \
     "(PELLWICK_DEMO_INTERFACE=rest or xmlrpc)"
echo "  call log:  $state/sandbox/calls.jsonl"
echo "  a record page: https://demo.localhost:$port/Contact/manageContact.jsp?view=edit&ID=1"

# 2. pellwick's settings, pre-configured for the sandbox (a private config home).
export XDG_CONFIG_HOME="$state/config"
python3 "$root/scripts/demo_settings.py" "$XDG_CONFIG_HOME/Varrow/Pellwick.conf" \
    --app demo --key demo-api-key --domain localhost --port "$port" --ca "$ca" --debug \
    --interface "$interface" --rest-url "$rest_url"

# 3. The host stand-in's program folder, its site.ini listing pellwick as an add-on
#    (headless: pellwick_walk, so that the walk below can operate its windows).
folder="$state/QuoteWerks"; mkdir -p "$folder"
program="$build/app/pellwick"
[ -n "$headless" ] && program="$build/tools/walk/pellwick_walk"
python3 "$root/scripts/demo_settings.py" --site-ini "$folder/site.ini" --addon "$program"

echo "Host stand-in: program folder $folder; it starts pellwick from site.ini."
host_cmd=("$build/hoststandin/hoststandin" --program-folder "$folder"
          --quote "$root/hoststandin/sample-quote.json")
log="$(dirname "$program")/DebugLog.txt"; rm -f "$log"
walk_report="$state/walk.txt"; rm -f "$walk_report"
export PELLWICK_WALK_REPORT="$walk_report"
calls="$state/sandbox/calls.jsonl"
calls_before=$(wc -l <"$calls" 2>/dev/null || echo 0)
# The first connection test of this run (the log keeps the calls of earlier runs), in a
# line: over XML-RPC a query of one user, over REST v2 a read of the key's own user.
first_query() { tail -n "+$((calls_before + 1))" "$calls" 2>/dev/null | python3 -c '
import json, sys
for line in sys.stdin:
    call = json.loads(line)
    method, path = call.get("method", ""), call.get("path", "")
    if call.get("interface") == "rest" and path.endswith("/oauth/connect/userinfo"):
        print("  REST v2:", method, "at", path, "->", "HTTP", call.get("status"))
        break
    if method == "DataService.query":
        print("  XML-RPC:", method, "on", call["params"][1]["value"], "at", path)
        break
' || true; }
await_pellwick() {
    for _ in $(seq 1 300); do has_owner Varrow.Pellwick && break; sleep 0.1; done
    has_owner Varrow.Pellwick && pellwick_pid=$(owner_pid Varrow.Pellwick)
}
if [ -z "$headless" ]; then
    echo "Click through the stand-in (Save, E-mail, select contact) and pellwick's tray icon"
    echo "or window (Configure..., About...). Exit the stand-in to end the demo."
    "${host_cmd[@]}" &
    host_pid=$!
    pids+=("$host_pid")
    await_pellwick || echo "pellwick did not start; see the stand-in's output above."
    status=0
    wait "$host_pid" || status=$?
    exit $status
fi

# Headless: drive the stand-in over its testing interface and show what happens.
"${host_cmd[@]}" >"$state/hoststandin.log" 2>&1 &
pids+=($!)
await_pellwick || { echo "pellwick did not start:"; cat "$state/hoststandin.log"; exit 1; }
for _ in $(seq 1 100); do [ -n "$(first_query)" ] && break; sleep 0.1; done
echo
echo "pellwick is running beside the stand-in; it tested its CRM connection:"
query=$(first_query)
echo "${query:-  (no call has reached the sandbox)}"
echo
echo "Walking through a save, the opportunities window, an e-mail, a contact selection and"
echo "a save during which the CRM loses an answer, as a user would ..."
echo
walked=0
python3 "$root/scripts/demo_walk.py" --port "$port" --ca "$ca" --key demo-api-key --app demo \
    --shots "$state/screens" --report "$walk_report" --calls "$calls" \
    --interface "$interface" || walked=$?
bus_call Screenshot "string:$state/hoststandin.png" >/dev/null || true
echo
echo "pellwick's debug log ($log), its last lines:"
{ sed 's/^/  /' "$log" 2>/dev/null || echo "  (no debug log)"; } | tail -n 25
bash "$root/scripts/screenshots.sh" "$state/screens" >/dev/null 2>&1 || true
echo
echo "Screenshots: $state/hoststandin.png and $state/screens/*.png"
echo "Ending the host; pellwick ends with it."
bus_call Exit >/dev/null 2>&1 || true
for _ in $(seq 1 100); do has_owner Varrow.Pellwick || break; sleep 0.1; done
has_owner Varrow.Pellwick && echo "pellwick is still running (unexpected)" || echo "pellwick has ended."
exit $walked
