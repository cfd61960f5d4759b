#!/usr/bin/env bash
# Builds and runs test programs under sanitizers, each kind in its own build folder.
#   scripts/run-sanitized-tests.sh asan [build-asan]   AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/run-sanitized-tests.sh tsan [build-tsan]   ThreadSanitizer
# asan covers every test program (the core, the MIDI layer, the player, the
# windows offscreen, the fault scenarios and the fuzz corpus replays) except
# those across JACK, which need the server run-tests.sh starts. tsan covers the programs whose
# threads hand data over: MIDI input to the window thread, the player's clock thread.
# A finding fails the test that tripped it.
set -euo pipefail
kind=${1:?usage: run-sanitized-tests.sh asan|tsan [build-folder]}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$kind" in
  asan)
    build=${2:-build-asan}
    sanitize=address,undefined
    ;;
  tsan)
    build=${2:-build-tsan}
    sanitize=thread
    ;;
  *)
    echo "run-sanitized-tests: unknown kind $kind (asan or tsan)" >&2
    exit 2
    ;;
esac

# Configured every time: the test list below is read from the build folder, and
# a folder left from an older tree would name test programs that are gone.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE="$sanitize" ${CMAKE_FLAGS:-} >/dev/null

if [ "$kind" = tsan ]; then
  tests=(test_midi_input_pump test_midi_system test_player_engine)
else
  # Every registered test whose program is a target of this build.
  label_filter=(-LE jack)
  mapfile -t registered < <(ctest --test-dir "$build" -N "${label_filter[@]}" | sed -n 's/^ *Test *#[0-9]*: //p')
  mapfile -t targets < <(ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z0-9_-]*\): .*/\1/p' | sort -u)
  tests=()
  for t in "${registered[@]}"; do
    if printf '%s\n' "${targets[@]}" | grep -qx "$t"; then
      tests+=("$t")
    fi
  done
fi

cmake --build "$build" -j "${JOBS:-2}" --target "${tests[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/sanitizer/tsan.supp"
regex="^($(IFS='|'; echo "${tests[*]}"))\$"
ctest --test-dir "$build" --output-on-failure --timeout 600 -R "$regex"
