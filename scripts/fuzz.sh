#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/ (or $ZORVANE_FUZZ_BUILD_DIR) and runs each target for SECONDS (default 60),
# one after another with one job. Stops at the first finding and names its reproducer; add the
# reproducer to fuzz/corpus/<target>/ once fixed, so the fuzz_corpus_* tests keep replaying it.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 600 formula_eval
#
# The inputs found along the way collect in build-fuzz/corpus/<target>/, so later runs start
# from them; build-fuzz/fuzz-stats.txt keeps one line per run: target, seconds, executions.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
source_dir="$PWD"
build_dir="${ZORVANE_FUZZ_BUILD_DIR:-build-fuzz}"

./scripts/install-deps.sh --fuzz
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZORVANE_FUZZ=ON -DZORVANE_BUILD_TESTS=OFF -DZORVANE_BUILD_BENCH=OFF ${ZORVANE_CMAKE_ARGS:-}
fi
cmake --build "$build_dir" --target fuzz_targets -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(formula_eval formula_translation formula_line formula_import history_import results_page settings)
fi
mkdir -p "$build_dir/findings"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
for t in "${targets[@]}"; do
  seeds="$source_dir/fuzz/corpus/$t"
  work="$build_dir/corpus/$t"
  dict="$source_dir/fuzz/dict/$t.dict"
  mkdir -p "$work"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1
        -artifact_prefix="$build_dir/findings/$t-")
  if [ -f "$dict" ]; then args+=(-dict="$dict"); fi
  echo "== $t: $seconds s"
  log="$build_dir/findings/$t.log"
  set +e
  "$build_dir/fuzz_$t" "${args[@]}" "$work" "$seeds" >"$log" 2>&1
  status=$?
  set -e
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|ERROR|SUMMARY|Test unit written|property broken' "$log" || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$t ${seconds}s ${runs:-?} executions, exit $status" | tee -a "$build_dir/fuzz-stats.txt"
  if [ "$status" -ne 0 ]; then
    echo "Finding in $t; reproducer:" >&2
    grep -o "Test unit written to .*" "$log" >&2 || true
    echo "Replay it: $build_dir/fuzz_$t <reproducer>" >&2
    exit 1
  fi
done
