#!/usr/bin/env bash
# Configures and builds into build/ (or $ZORVANE_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${ZORVANE_BUILD_DIR:-build}"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON ${ZORVANE_CMAKE_ARGS:-}
fi
cmake --build "$build_dir" -j "$(nproc)"
