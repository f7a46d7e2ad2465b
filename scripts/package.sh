#!/usr/bin/env bash
# Builds the two programs in Release, with Debian's hardening flags and the /usr prefix, in a
# folder of their own (build/package, or $ZORVANE_PACKAGE_BUILD_DIR), and writes the Debian
# package zorvane_<version>_<architecture>.deb into build/. Prints the package's path last.
# Tests and benchmarks are not built there; ccache is used when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
package_dir="${ZORVANE_PACKAGE_BUILD_DIR:-build/package}"
out_dir="build"
mkdir -p "$out_dir"

# Debian's hardening flags, all of them (bindnow included).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Configured on every run, so a change of flags here reaches an existing folder too.
cmake -S . -B "$package_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_INSTALL_DOCDIR=share/doc/zorvane \
  -DCMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS="OWNER_READ;OWNER_WRITE;OWNER_EXECUTE;GROUP_READ;GROUP_EXECUTE;WORLD_READ;WORLD_EXECUTE" \
  -DZORVANE_BUILD_TESTS=OFF -DZORVANE_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  "${launcher[@]}" ${ZORVANE_PACKAGE_CMAKE_ARGS:-} >/dev/null
cmake --build "$package_dir" -j "$(nproc)"
rm -f "$package_dir"/zorvane_*.deb
(cd "$package_dir" && cpack -G DEB)
deb="$(ls "$package_dir"/zorvane_*.deb)"
cp "$deb" "$out_dir/"
echo "$out_dir/$(basename "$deb")"
