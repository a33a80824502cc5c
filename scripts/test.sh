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

# The Windows build and its tests under Wine (on COM ports, against build/'s simulator),
# wherever the Qt for Windows is at hand.
qt_windows=${TARVEX_QT_WINDOWS:-../shared/qt6-mingw}
if [ -f "$qt_windows/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    started=$SECONDS
    TARVEX_QT_WINDOWS=$qt_windows TARVEX_LINUX_SIM=$PWD/build/sim/tarvex-sim \
        scripts/build-windows.sh build-windows -DTARVEX_WERROR=ON
    run_tests build-windows
    echo "Windows build and tests under Wine: $((SECONDS - started)) s"
else
    echo "SKIPPED: the Windows build and its tests under Wine, for want of Qt for Windows at" \
         "$qt_windows (set TARVEX_QT_WINDOWS)"
fi

scripts/build.sh build-asan -DTARVEX_SANITIZE=ON -DTARVEX_WERROR=ON
run_tests build-asan

# Every fuzz target briefly, so that they keep building and shallow faults show at once.
scripts/fuzz.sh 10
