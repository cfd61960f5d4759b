#!/usr/bin/env bash
# Builds the libFuzzer programs with clang in their own build folder and runs
# each for FUZZ_SECONDS (default 60). Each run starts from the committed seeds
# plus what earlier runs found (kept in <build>/corpus/<target>, not committed).
# A crash lands in <build>/crashes/<target>/; to keep one as a regression test,
# copy it to fuzz/regressions/<target>/ under a name that says what it broke.
# Usage: scripts/run-fuzz.sh [build-folder] [target...]
set -euo pipefail
build=${1:-build-fuzz}
shift || true
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(midi_file curve_file song_check keyboard_frame handshake format0_round_trip message_ring cli_lists)
fi

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQUILLON_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]/#/fuzz_}"

status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  crashes="$build/crashes/$target"
  mkdir -p "$corpus" "$crashes"
  echo "== fuzz_$target for ${seconds}s"
  # Regressions are read as seeds too, so a fixed fault's neighbourhood is explored again.
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$corpus" "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target" \
      2>"$build/fuzz_$target.log"; then
    echo "fuzz_$target found a fault: see $build/fuzz_$target.log and $crashes/"
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+ +DONE' "$build/fuzz_$target.log" || true
done
exit $status
