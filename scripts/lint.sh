#!/usr/bin/env bash
# make lint: the house style, checked. Every C++ source and header of the project must be in its
# clang-format form, every include of the library must point to its own or a lower layer, and
# clang-tidy (the checks of .clang-tidy) must find nothing in the library's sources, the Windows
# adapters included.
#   lint.sh [BUILD_DIR [WIN32_BUILD_DIR]]
#     BUILD_DIR        a configured Linux build with compile_commands.json (default build/linux)
#     WIN32_BUILD_DIR  a configured Windows build (default: win32 beside BUILD_DIR); without its
#                      compile_commands.json or the MinGW compiler, src/platform/win32 is skipped
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/linux}
win32=${2:-$(dirname "$build")/win32}

mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' \
  'bench/*.cpp' 'bench/*.h' 'include/*.h')
echo "lint: clang-format over ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}"

echo "lint: layers"
bash scripts/check-layers.sh src

# tidy DB_DIR FILE_REGEX [EXTRA_ARG...]: run-clang-tidy over the database's files that match.
tidy() {
  local db=$1 regex=$2 log=$1/clang-tidy.log
  shift 2
  "$run_tidy" -quiet -p "$db" "${@/#/-extra-arg=}" "$regex" >"$log" 2>&1 || {
    # The colour codes go first: they sit between the position and "error:".
    { sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E ' (error|warning): ' | sort -u || true; } >&2
    echo "lint: clang-tidy found the above (whole output in $log)" >&2
    exit 1
  }
}
run_tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)

echo "lint: clang-tidy over the library's sources"
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json (make linux first)" >&2; exit 1; }
tidy "$build" "$(pwd)/src/"

# The Windows adapters. clang parses them as the cross compiler would: its target; the MinGW root
# as sysroot (the parent of the last folder g++ searches), so that no host header comes in; and
# g++'s own C++ headers, which clang does not find by itself (their folder, 12-posix, is no
# version number to it). -fno-keep-inline-dllexport (CMake's hidden inlines on MinGW) is g++'s
# alone: clang-tidy reads a copy of the database without it.
gxx=
[ -f "$win32/compile_commands.json" ] && gxx=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p;T;q' "$win32/compile_commands.json")
if [ -z "$gxx" ] || ! command -v "$gxx" >/dev/null; then
  echo "lint: no Windows build in $win32 or no MinGW compiler: src/platform/win32 not checked (make deps first)"
else
  echo "lint: clang-tidy over the Windows adapters (src/platform/win32)"
  mkdir -p "$win32/tidy"
  sed 's/ -fno-keep-inline-dllexport//g' "$win32/compile_commands.json" >"$win32/tidy/compile_commands.json"
  mapfile -t searched < <("$gxx" -x c++ -E -v - </dev/null 2>&1 | sed -n '/^#include <...>/,/^End/s/^ //p')
  mapfile -t cxx_include < <(printf '%s\n' "${searched[@]}" | grep '/include/c++')
  tidy "$win32/tidy" "$(pwd)/src/platform/win32/.*\.cpp$" --target=i686-w64-mingw32 \
    --sysroot="$(dirname "$(realpath "${searched[-1]}")")" -nostdinc++ "${cxx_include[@]/#/-isystem}"
fi
echo "lint: clean"
