#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
build_dir="${ZORVANE_BUILD_DIR:-build}"
export QT_QPA_PLATFORM=offscreen
export ZORVANE_NO_OPEN=1
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" "$@"
