#!/usr/bin/env bash
# Builds one configuration: scripts/build.sh DIR [CMAKE OPTIONS...]
set -euo pipefail
dir=$1
shift
cmake -S "$(dirname "$0")/.." -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
