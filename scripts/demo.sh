#!/usr/bin/env bash
# The demo: builds everything, then starts the local CRM sandbox with demo data.
# All state lives in ./demo-state, never in the user's real settings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build=${PELLWICK_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
state=${PELLWICK_DEMO_STATE:-$root/demo-state}
mkdir -p "$state"
exec python3 "$root/sandbox/crm_sandbox.py" --state "$state/sandbox" --port 8443 \
    --api-key demo-api-key --seed demo
