#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window against the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# With the options of scripts/test.sh: one configuration per folder, so that running one after
# the other builds only what changed (the tree builds without a warning on Debian 12).
scripts/build.sh build -DTARVEX_WERROR=ON
exec build/app/tarvex-configurator --demo "$@"
