#!/usr/bin/env bash
# Checks that includes only point down the layers (scripts/check-layers.sh),
# checks formatting of every C++ file (nothing is rewritten: run
# `clang-format -i <file>` to fix one) and runs clang-tidy on the core
# library's sources, using the compile commands of the given build folder.
# Usage: scripts/lint.sh [build-folder]
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

status=0
scripts/check-layers.sh || status=1
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
                                  'fuzz/*.cpp' 'fuzz/*.h' 'packaging/*.cpp')
echo "lint: clang-format on ${#files[@]} files"
if ! clang-format --dry-run -Werror "${files[@]}"; then
  echo "lint: formatting differs (clang-format -i <file> fixes it)"
  status=1
fi

if [ ! -f "$build/compile_commands.json" ]; then
  echo "lint: $build/compile_commands.json missing; configure first (make configure)" >&2
  exit 2
fi
mapfile -t core < <(git ls-files 'src/*/core/*.cpp')
echo "lint: clang-tidy on ${#core[@]} core files"
if ! clang-tidy -p "$build" --quiet --warnings-as-errors='*' "${core[@]}" 2> >(grep -v 'warnings generated' >&2); then
  status=1
fi
exit $status
