#!/usr/bin/env bash
# Installs what is missing, builds the plain and the sanitizer (ASan + UBSan) configurations,
# and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

# The tests mostly wait on timers, so they run side by side; each uses its own devices and names.
jobs=$(nproc)
run_tests() { ctest --test-dir "$1" --output-on-failure --no-tests=error -j"$jobs"; }

scripts/build.sh build -DTARVEX_WERROR=ON
run_tests build

scripts/build.sh build-asan -DTARVEX_SANITIZE=ON -DTARVEX_WERROR=ON
run_tests build-asan

# Every fuzz target briefly, so that they keep building and shallow faults show at once.
scripts/fuzz.sh 10
