#!/usr/bin/env bash
# Songs, a ROM image and a curve sent by quillon-cli across real JACK ports to
# quillon-keyboard, which stores what arrived; every stored file must equal
# the file sent, byte for byte. Exit 77 (skipped) when no JACK server answers.
set -euo pipefail
bin=${1:?usage: jack_transfer_test.sh BINARY_DIR}
cli="$bin/src/cli/quillon-cli"
keyboard="$bin/src/cli/quillon-keyboard"

if ! command -v jack_lsp >/dev/null || ! jack_lsp >/dev/null 2>&1; then
  echo "SKIPPED: no JACK server reachable (JACK_DEFAULT_SERVER=${JACK_DEFAULT_SERVER:-default})"
  exit 77
fi

work=$(mktemp -d)
name="quillon-kbd-$$"
keyboard_pid=
cleanup() {
  if [ -n "$keyboard_pid" ]; then kill "$keyboard_pid" 2>/dev/null || true; wait "$keyboard_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

song() { # song FILE BODY_BYTES: a format-0 header followed by random bytes
  printf 'MThd\000\000\000\006\000\000\000\001\000\140' >"$1"
  head -c "$2" /dev/urandom >>"$1"
}
song "$work/a.mid" 100
song "$work/b.mid" 30000
song "$work/c.mid" 1778
head -c 10000 /dev/urandom >"$work/rom.bin"

"$keyboard" --api jack --name "$name" --store "$work/store" >"$work/keyboard.log" 2>&1 &
keyboard_pid=$!
for _ in $(seq 100); do grep -q '^listening' "$work/keyboard.log" && break; sleep 0.1; done
grep -q '^listening' "$work/keyboard.log" || { echo "quillon-keyboard did not start:"; cat "$work/keyboard.log"; exit 1; }

# Ports by name, or by a part of one in another case; a part that names two is refused with both listed.
out="$name:in"
in="${name^^}:OUT"
if "$cli" send-songs "$work/a.mid" --out "$out" --in quillon 2>"$work/ambiguous.log" ||
  [ "$(grep -c -e "$name:out" -e 'Quillon Virtual Keyboard' "$work/ambiguous.log")" != 2 ]; then
  echo "an ambiguous --in was not refused with its matches:"; cat "$work/ambiguous.log"; exit 1
fi

"$cli" send-songs "$work/a.mid" "$work/b.mid" "$work/c.mid" --slots 5,1,28 --out "$out" --in "$in"
"$cli" send-songs "$work/c.mid" --slots 2 --out "$out" --in "$in" --open-per-message
"$cli" send-rom "$work/rom.bin" --out "$out" --in "$in"
"$cli" send-curve --preset Fixup3.crv --out "$out"
# The default route and the first input are the keyboard's two ports.
"$cli" send-songs "$work/b.mid" --slots 7 --out -1 --in 0 --reply-timeout 5000

sleep 0.3 # the keyboard writes its last file after the curve has left
cmp "$work/a.mid" "$work/store/slot05.mid"
cmp "$work/b.mid" "$work/store/slot01.mid"
cmp "$work/c.mid" "$work/store/slot28.mid"
cmp "$work/c.mid" "$work/store/slot02.mid"
cmp "$work/rom.bin" "$work/store/rom.bin"
cmp "$work/b.mid" "$work/store/slot07.mid"
[ "$(tr -s ' \n' '\n\n' <"$work/store/curve.txt" | grep -c '^127$')" -eq 128 ] || { echo "curve.txt is not all 127:"; cat "$work/store/curve.txt"; exit 1; }
if grep -q '^error' "$work/keyboard.log"; then echo "the keyboard saw protocol errors:"; grep '^error' "$work/keyboard.log"; exit 1; fi

# SIGINT and SIGTERM end a song run with the closing message (the keyboard logs the song
# as cut off), and the next run works first time.
song "$work/big.mid" 400000
for sig in INT TERM; do
  blocks=$(grep -c block "$work/keyboard.log" || true)
  set -m # a background job of its own may take SIGINT
  "$cli" send-songs "$work/big.mid" --slots 9 --out "$out" --in "$in" 2>"$work/signal.log" &
  cli_pid=$!
  set +m
  for _ in $(seq 100); do [ "$(grep -c block "$work/keyboard.log")" -gt $((blocks + 3)) ] && break; sleep 0.1; done
  kill -"$sig" "$cli_pid"
  status=0; wait "$cli_pid" || status=$?
  [ "$status" = $((128 + $(kill -l "$sig"))) ] && grep -q "interrupted (SIG$sig)" "$work/signal.log" ||
    { echo "quillon-cli after SIG$sig: exit $status"; cat "$work/signal.log"; exit 1; }
  "$cli" send-songs "$work/a.mid" --slots 9 --out "$out" --in "$in"
  cmp "$work/a.mid" "$work/store/slot09.mid"
done

# A keyboard that is gone is no longer listed, so no index can name it.
kill -TERM "$keyboard_pid"
wait "$keyboard_pid"
keyboard_pid=
grep -q '^stopped' "$work/keyboard.log"
"$cli" ports >"$work/ports-after.txt"
if grep -q "JACK: $name" "$work/ports-after.txt"; then
  echo "a vanished keyboard is still listed:"; cat "$work/ports-after.txt"; exit 1
fi
echo "all files arrived byte for byte"
