#!/usr/bin/env bash
# Runs the whole suite through ctest. Widgets run offscreen.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=offscreen

# MIDI tests across real ports need a JACK server: start a private one with the
# dummy driver (no sound hardware needed) under a name of its own, so that a
# user's server is never touched, and stop it when the suite ends.
jackd_pid=
stop_jackd() {
  if [ -n "$jackd_pid" ]; then
    kill "$jackd_pid" 2>/dev/null || true
    wait "$jackd_pid" 2>/dev/null || true
  fi
}
trap stop_jackd EXIT
if command -v jackd >/dev/null; then
  export JACK_DEFAULT_SERVER="quillon-test-$$"
  # 128 frames at 48 kHz: a 2.7 ms cycle; the dummy driver must be told to wait that long too.
  # Synchronous mode (-S): each cycle waits until every client has run. In the
  # default asynchronous mode a client the machine schedules late is skipped
  # for that cycle, and a message written to it then is gone without either
  # side knowing; on a busy 2-core machine that lost about one block in 15
  # runs of 64 back-to-back blocks.
  jackd -S -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 128 -w 2666 >"${TMPDIR:-/tmp}/quillon-jackd-$$.log" 2>&1 &
  jackd_pid=$!
  for _ in $(seq 50); do
    jack_lsp >/dev/null 2>&1 && break
    sleep 0.1
  done
  jack_lsp >/dev/null 2>&1 || echo "run-tests: jackd did not start; JACK tests will be skipped (see ${TMPDIR:-/tmp}/quillon-jackd-$$.log)"
else
  echo "run-tests: jackd is not installed; the JACK MIDI tests are skipped"
fi

cd "$build"
ctest --output-on-failure --timeout 300
