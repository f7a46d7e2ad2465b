#!/bin/sh
# Saves a picture of every window, as shown on a virtual screen of the given size, into a folder:
#   scripts/window-gallery.sh 1366x768 /tmp/gallery-1366
# Needs a build (./test.sh or scripts/build.sh) and xvfb-run with a CJK font (scripts/install-deps.sh).
set -eu
size=${1:-1366x768}
out=${2:-gallery-$size}
build=${ZORVANE_BUILD_DIR:-build}
mkdir -p "$out"
exec xvfb-run -a -s "-screen 0 ${size}x24" env QT_QPA_PLATFORM=xcb "$build/window_gallery" "$out"
