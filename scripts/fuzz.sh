#!/usr/bin/env bash
# Builds tessary's libFuzzer targets with clang (AddressSanitizer + UndefinedBehavior-
# Sanitizer) in their own folder and runs each for a short time, so that every test
# run fuzzes the code as it stands. New inputs are kept in the build folder and
# grow the corpus from run to run. Skipped, with a note, when clang++ is missing.
#   PELLWICK_FUZZ_SECONDS  seconds per target (default 30)
#   PELLWICK_SKIP_FUZZ     set: skip
# Exit code: non-zero when a target found a failure (its input is saved in the
# build folder beside the target's log, as NAME-crash-*, NAME-leak-* and so on).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${PELLWICK_SKIP_FUZZ:-}" ]; then
    echo "fuzz.sh: skipped (PELLWICK_SKIP_FUZZ is set)"
    exit 0
fi
if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh: clang++ not found, fuzzing skipped"
    exit 0
fi
build=${PELLWICK_FUZZ_BUILD_DIR:-${PELLWICK_BUILD_DIR:-$root/build}-fuzz}
seconds=${PELLWICK_FUZZ_SECONDS:-30}
targets=(response roundtrip base64)

mkdir -p "$build"
if ! CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELLWICK_BUILD_FUZZ=ON -DPELLWICK_BUILD_TESTS=OFF >"$build/configure.log" 2>&1; then
    cat "$build/configure.log"
    exit 1
fi
cmake --build "$build" -j2 --target "${targets[@]/#/tessary_fuzz_}"

status=0
for name in "${targets[@]}"; do
    corpus="$build/crmclient/fuzz/corpus-$name"
    log="$build/crmclient/fuzz/$name.log"
    mkdir -p "$corpus"
    echo "== Fuzzing tessary_fuzz_$name for ${seconds} s (log: $log)"
    if "$build/crmclient/fuzz/tessary_fuzz_$name" -max_total_time="$seconds" -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$build/crmclient/fuzz/$name-" \
        "$corpus" "$root/crmclient/fuzz/corpus/$name" >"$log" 2>&1; then
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units)' "$log" || true
    else
        tail -n 60 "$log"
        echo "fuzz.sh: tessary_fuzz_$name failed; the input is saved beside its log"
        status=1
    fi
done
exit $status
