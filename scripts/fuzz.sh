#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) in build-fuzz and runs each for
# SECONDS (default 60) from its seed corpus fuzz/corpus/NAME. New inputs go to
# build-fuzz/corpus/NAME, findings to build-fuzz/findings. Fails when any target finds one.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DTARVEX_FUZZ=ON -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target tarvex_fuzzers >/dev/null

mkdir -p "$dir/findings" "$dir/logs"
failed=0
for fuzzer in "$dir"/fuzz/fuzz_*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    mkdir -p "$dir/corpus/$name" "fuzz/corpus/$name"
    log="$dir/logs/$name.log"
    # Inputs up to twice the largest seed, and at least 512 bytes: a reply, a text or a command
    # is under a hundred bytes, and much longer inputs only slow each run.
    largest=$(find "fuzz/corpus/$name" -type f -printf '%s\n' | sort -n | tail -n 1)
    max_len=$((2 * ${largest:-0} > 512 ? 2 * ${largest:-0} : 512))
    if "$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$dir/findings/$name-" "$dir/corpus/$name" "fuzz/corpus/$name" \
        >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        coverage=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
        echo "$name: $runs runs in ${seconds} s, $coverage, nothing found"
    else
        echo "$name: FOUND A FAULT (input in $dir/findings), log $log:" >&2
        tail -n 40 "$log" >&2
        failed=1
    fi
done
exit $failed
