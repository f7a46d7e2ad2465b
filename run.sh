#!/usr/bin/env bash
# Installs what is missing, builds and starts the window program. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
build_dir="${ZORVANE_BUILD_DIR:-build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display found. Start the window under a virtual display with:"
  echo "  xvfb-run -a -s '-screen 0 1920x1080x24' ./run.sh $*"
  exit 1
fi
exec "$build_dir/zorvane" "$@"
