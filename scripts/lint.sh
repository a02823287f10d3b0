#!/usr/bin/env bash
# make lint: the house style, checked. Every C++ source and header of the project must be in its
# clang-format form, every include of the library must point to its own or a lower layer, and
# clang-tidy (the checks of .clang-tidy) must find nothing in the library's sources.
#   lint.sh [BUILD_DIR]   a configured build with compile_commands.json (default build/linux)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/linux}

mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'include/*.h')
echo "lint: clang-format over ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}"

echo "lint: layers"
bash scripts/check-layers.sh src

echo "lint: clang-tidy over the library's sources"
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json (make linux first)" >&2; exit 1; }
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
"$tidy" -quiet -p "$build" "$(pwd)/src/" >"$build/clang-tidy.log" 2>&1 || {
  # The colour codes go first: they sit between the position and "error:".
  { sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E ' (error|warning): ' | sort -u || true; } >&2
  echo "lint: clang-tidy found the above (whole output in $build/clang-tidy.log)" >&2
  exit 1
}
echo "lint: clean"
