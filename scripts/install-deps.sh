#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the window and the Debian package need, when
# any is missing. With --fuzz also clang, its libFuzzer and sanitizer runtimes and the symbolizer
# (scripts/fuzz.sh).
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libxlsxwriter-dev libsqlite3-dev libzip-dev libfreexl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
  xvfb xauth fonts-noto-cjk python3 python3-openpyxl python3-xlwt
  util-linux mount
  dpkg-dev lintian appstream desktop-file-utils clang-format
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-dev llvm)
fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
