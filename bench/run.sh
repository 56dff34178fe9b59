#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and runs them all beside their
# reference tools on the same data: coreutils base64, openssl speed and md5sum,
# Python's xmlrpc.client, and the CRM sandbox for the keep-alive and upload
# comparisons (the upload beside curl and Python).
# Prints one table; extra arguments go to bench/compare.py (e.g. --no-sandbox).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLWICK_BENCH_BUILD_DIR:-$root/build-bench}
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELLWICK_BUILD_BENCH=ON \
    -DPELLWICK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target encoding_bench codec_bench keepalive_bench upload_bench query_bench \
    measure
exec python3 "$root/bench/compare.py" --build "$build" --root "$root" "$@"
