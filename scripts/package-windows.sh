#!/usr/bin/env bash
# Builds the Windows programs and packs them: the portable zip and the NSIS installer, in DIR
# (build-windows unless given):  scripts/package-windows.sh [DIR]
# Qt for Windows as scripts/build-windows.sh finds it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}
"$root/scripts/build-windows.sh" "$dir"
(cd "$dir" && cpack >/dev/null)
for package in "$dir"/tarvex-configurator-*-windows-x64.{zip,exe}; do
    echo "$package  $(stat -c %s "$package") bytes"
done
