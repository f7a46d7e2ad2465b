#!/usr/bin/env bash
# Every C++ source of the project follows .clang-format: clang-format in dry-run mode over each file,
# failing on the first difference it reports (the report names file, line and column).
set -euo pipefail
root="$1"
cd "$root"
mapfile -t files < <(find app backtest bench charts cli formula fuzz history killkeep search store tests ui \
  -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "no sources found under $root" >&2
  exit 1
fi
clang-format --dry-run --Werror "${files[@]}"
echo "${#files[@]} files follow .clang-format"
