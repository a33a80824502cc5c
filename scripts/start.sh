#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window against the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/app/tarvex-configurator --demo "$@"
