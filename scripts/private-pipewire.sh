# Sourced by run-tests.sh and run-bench.sh: a private PipeWire (stock
# configuration, no session manager, no D-Bus) whose sockets live in a folder
# of its own, so a user's session is never touched. JACK programs reach it
# through pw-jack; PipeWire's JACK layer hands long SysEx over in pieces and
# (in 1.x) changes 8-bit bytes, which jackd never does.
#   start_private_pipewire LOG   starts it, cycles of 128 frames; returns 2 when
#                                PipeWire or pw-jack is missing, 1 when it does not answer
#   run_on_private_pipewire CMD  runs CMD with libjack and the environment pointed at it
#   stop_private_pipewire        stops it again (harmless when none runs)
private_pipewire_pid=
private_pipewire_dir=

run_on_private_pipewire() {
  env -u JACK_DEFAULT_SERVER XDG_RUNTIME_DIR="$private_pipewire_dir" PIPEWIRE_RUNTIME_DIR="$private_pipewire_dir" \
    pw-jack "$@"
}

start_private_pipewire() {
  command -v pipewire >/dev/null && command -v pw-jack >/dev/null && command -v pw-metadata >/dev/null || return 2
  private_pipewire_dir=$(mktemp -d) # mode 700
  # Its complaint that there is no D-Bus session (module-portal) is harmless.
  XDG_RUNTIME_DIR="$private_pipewire_dir" PIPEWIRE_RUNTIME_DIR="$private_pipewire_dir" pipewire >"$1" 2>&1 &
  private_pipewire_pid=$!
  for _ in $(seq 50); do
    if XDG_RUNTIME_DIR="$private_pipewire_dir" PIPEWIRE_RUNTIME_DIR="$private_pipewire_dir" \
      pw-metadata -n settings 0 clock.force-quantum 128 >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

stop_private_pipewire() {
  if [ -n "$private_pipewire_pid" ]; then
    kill "$private_pipewire_pid" 2>/dev/null || true
    wait "$private_pipewire_pid" 2>/dev/null || true
    private_pipewire_pid=
  fi
  [ -z "$private_pipewire_dir" ] || rm -rf "$private_pipewire_dir"
  private_pipewire_dir=
}
