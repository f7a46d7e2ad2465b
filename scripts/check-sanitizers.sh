#!/usr/bin/env bash
# Builds the program and its tests twice, with AddressSanitizer + UndefinedBehaviorSanitizer into
# build-asan/ and with ThreadSanitizer into build-tsan/, and runs the whole suite in each through
# ctest (one process per test: a test program that starts a child process and then runs threads
# confuses ThreadSanitizer's bookkeeping otherwise). Run it before merging changes to threads,
# memory handling or the parsers; extra arguments go to ctest, e.g. -R robustness.
#
#   scripts/check-sanitizers.sh [asan|tsan|both] [CTEST_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
which=both
case "${1:-}" in asan | tsan | both) which="$1"; shift ;; esac
source_dir="$PWD"
./scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export ZORVANE_NO_OPEN=1
# Any report fails the test that caused it; the suppression files say what is not ours.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$source_dir/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# die_after_fork=0: tests start zorvane-cli and python3 as child processes (QProcess forks and the
# child execs at once) and go on with threads; ThreadSanitizer refuses new threads after a fork of a
# multi-threaded process unless told. ignore_noninstrumented_modules=1: see tsan.supp.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1:suppressions=$source_dir/scripts/sanitizers/tsan.supp"

run() {
  local dir="$1" option="$2"
  shift 2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -D"$option"=ON -DZORVANE_BUILD_BENCH=OFF \
      ${ZORVANE_CMAKE_ARGS:-}
  fi
  cmake --build "$dir" -j "$(nproc)"
  echo "== $option: ctest in $dir"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)" "$@")
}

status=0
if [ "$which" = asan ] || [ "$which" = both ]; then
  run build-asan ZORVANE_SANITIZE "$@" || status=1
fi
if [ "$which" = tsan ] || [ "$which" = both ]; then
  run build-tsan ZORVANE_TSAN "$@" || status=1
fi
if [ "$status" -eq 0 ]; then echo "sanitizers: clean"; else echo "sanitizers: failures above" >&2; fi
exit "$status"
