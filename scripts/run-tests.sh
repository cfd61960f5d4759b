#!/usr/bin/env bash
# Runs the whole suite through ctest. Widgets run offscreen.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=offscreen

# MIDI tests across real ports need a JACK server; it is stopped when the suite ends.
source "$(dirname "$0")/private-jackd.sh"
trap stop_private_jackd EXIT
jackd_log="${TMPDIR:-/tmp}/quillon-jackd-$$.log"
start_private_jackd "quillon-test-$$" "$jackd_log" || case $? in
  2) echo "run-tests: jackd is not installed; the JACK MIDI tests are skipped" ;;
  *) echo "run-tests: jackd did not start; JACK tests will be skipped (see $jackd_log)" ;;
esac

cd "$build"
ctest --output-on-failure --timeout 300
