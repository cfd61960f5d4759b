#!/usr/bin/env bash
# A JACK server that freezes or dies under a transfer. quillon-cli must end
# with the transfer's real outcome instead of hanging in a request to the
# frozen server, and say that a dead server stopped; quillon-keyboard must
# leave with a message instead of running on, deaf. The test runs JACK servers
# of its own (it freezes and kills them). Exit 77 (skipped) without jackd.
set -euo pipefail
bin=${1:?usage: jack_server_faults_test.sh BINARY_DIR SCRIPTS_DIR}
scripts=${2:?usage: jack_server_faults_test.sh BINARY_DIR SCRIPTS_DIR}
cli="$bin/src/cli/quillon-cli"
keyboard="$bin/src/cli/quillon-keyboard"
command -v jackd >/dev/null || { echo "SKIPPED: jackd is not installed"; exit 77; }
source "$scripts/private-jackd.sh"

work=$(mktemp -d)
keyboard_pid=
cli_pid=
cleanup() {
  [ -n "$private_jackd_pid" ] && kill -CONT "$private_jackd_pid" 2>/dev/null || true
  for pid in $cli_pid $keyboard_pid; do kill "$pid" 2>/dev/null || true; done
  stop_private_jackd
  rm -rf "$work"
}
trap cleanup EXIT

printf 'MThd\000\000\000\006\000\000\000\001\000\140' >"$work/big.mid"
head -c 400000 /dev/urandom >>"$work/big.mid"

# A server of its own, quillon-keyboard on it, and quillon-cli sending the big song.
start_transfer() { # NAME
  start_private_jackd "$1" "$work/jackd.log" || { echo "SKIPPED: jackd did not start"; exit 77; }
  rm -rf "$work/store"; mkdir "$work/store"
  "$keyboard" --api jack --name kbd --store "$work/store" >"$work/keyboard.log" 2>&1 &
  keyboard_pid=$!
  for _ in $(seq 100); do grep -q '^listening' "$work/keyboard.log" && break; sleep 0.1; done
  "$cli" ports >"$work/ports.txt"
  out=$(awk '/^outputs:/{s=1;next} /^inputs:/{s=0} s && index($0,"JACK: kbd:in"){print $1; exit}' "$work/ports.txt")
  in=$(awk '/^inputs:/{s=1;next} s && index($0,"JACK: kbd:out"){print $1; exit}' "$work/ports.txt")
  [ -n "$out" ] && [ -n "$in" ] || { echo "keyboard ports not listed:"; cat "$work/ports.txt"; exit 1; }
  "$cli" send-songs "$work/big.mid" --out "$out" --in "$in" --reply-timeout 1000 >"$work/cli.log" 2>&1 &
  cli_pid=$!
  for _ in $(seq 50); do grep -q 'block' "$work/keyboard.log" && break; sleep 0.1; done
}

# Waits up to 15 s for PID to end; sets status to its exit status, or "hung".
ended() { # PID
  for _ in $(seq 150); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then status=hung; else status=0; wait "$1" || status=$?; fi
}

# 1. The server freezes mid-transfer: the sender gives up and exits; it does not wait for the server.
start_transfer "quillon-frozen-$$"
kill -STOP "$private_jackd_pid"
ended "$cli_pid"
cli_pid=
cat "$work/cli.log"
[ "$status" = 1 ] || { echo "quillon-cli on a frozen server: expected exit 1, got $status"; exit 1; }
grep -q 'The MIDI server (JACK) runs no cycles' "$work/cli.log" || { echo "quillon-cli did not say the server runs no cycles"; exit 1; }
kill -CONT "$private_jackd_pid"
kill "$keyboard_pid"; wait "$keyboard_pid" 2>/dev/null || true; keyboard_pid=
stop_private_jackd

# 2. The server dies mid-transfer: the sender says so, the keyboard leaves with a message.
start_transfer "quillon-killed-$$"
kill -TERM "$private_jackd_pid"
wait "$private_jackd_pid" 2>/dev/null || true
private_jackd_pid=
ended "$cli_pid"
cli_pid=
cat "$work/cli.log"
[ "$status" = 1 ] || { echo "quillon-cli after the server died: expected exit 1, got $status"; exit 1; }
grep -q 'The MIDI server (JACK) has stopped, or has shut Quillon out' "$work/cli.log" || { echo "quillon-cli did not name the stopped server"; exit 1; }
ended "$keyboard_pid"
keyboard_pid=
cat "$work/keyboard.log"
[ "$status" = 1 ] || { echo "quillon-keyboard after its server died: expected exit 1, got $status"; exit 1; }
grep -q 'the JACK server stopped' "$work/keyboard.log" || { echo "quillon-keyboard gave no reason"; exit 1; }

# 3. The sender itself is stopped for 10 s on an asynchronous server, which
# meanwhile may throw it out: once it goes on it ends with the transfer's real
# outcome (the song stored whole, or a failure said) instead of hanging in a
# request to the server.
PRIVATE_JACKD_ASYNC=1 start_transfer "quillon-sender-paused-$$"
kill -STOP "$cli_pid"
sleep 10
kill -CONT "$cli_pid"
ended "$cli_pid"
cli_pid=
cat "$work/cli.log"
case "$status" in
  0) cmp -s "$work/big.mid" "$work/store/slot01.mid" || { echo "quillon-cli said sent, the keyboard stored something else"; exit 1; } ;;
  1) grep -q -e 'Quillon itself was stopped' -e 'shut Quillon out' "$work/cli.log" || { echo "quillon-cli failed without naming its own stop"; exit 1; } ;;
  *) echo "quillon-cli stopped for 10 s: expected exit 0 or 1, got $status"; exit 1 ;;
esac
kill "$keyboard_pid"; wait "$keyboard_pid" 2>/dev/null || true; keyboard_pid=
stop_private_jackd

echo "a frozen or dead server, or a paused sender, ends every program with its real outcome"
