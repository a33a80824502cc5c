#!/usr/bin/env bash
# Cross-builds the Windows programs and the test executables with MinGW-w64 against Qt for
# Windows:  scripts/build-windows.sh [DIR] [CMAKE OPTIONS...]   (DIR defaults to build-windows)
# Qt comes from $TARVEX_QT_WINDOWS, else ../shared/qt6-mingw beside this repository; moc, rcc
# and uic from Debian's Qt. With a Linux build in build/ (or $TARVEX_LINUX_SIM set), the tests
# on COM ports under Wine are built as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}
shift || true
qt=${TARVEX_QT_WINDOWS:-$root/../shared/qt6-mingw}

missing() {
    echo "build-windows: $1" >&2
    exit 2
}
[ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] ||
    missing "no Qt for Windows at $qt (set TARVEX_QT_WINDOWS to a Qt 6.4 built for MinGW-w64; \
its README and build-qt-mingw.sh in ../shared/qt6-mingw say how to make one)"
qt=$(cd "$qt" && pwd)
command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
    missing "no MinGW-w64 compiler (Debian package g++-mingw-w64-x86-64-posix)"
[ -x /usr/lib/qt6/libexec/moc ] || missing "no moc for this machine (Debian package qt6-base-dev-tools)"

sim=${TARVEX_LINUX_SIM:-$root/build/sim/tarvex-sim}
[ -x "$sim" ] || sim=

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr \
    -DTARVEX_LINUX_SIM="$sim" "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
