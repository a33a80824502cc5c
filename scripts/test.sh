#!/usr/bin/env bash
# Installs what is missing, builds the plain and the sanitizer (ASan + UBSan) configurations,
# and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

scripts/build.sh build
ctest --test-dir build --output-on-failure

scripts/build.sh build-asan -DTARVEX_SANITIZE=ON
ctest --test-dir build-asan --output-on-failure

# Every fuzz target briefly, so that they keep building and shallow faults show at once.
scripts/fuzz.sh 10
