# Sourced by run-tests.sh and run-bench.sh: a private JACK server with the dummy
# driver (no sound hardware needed) under a name of its own, so that a user's
# server is never touched.
#   start_private_jackd NAME LOG   exports JACK_DEFAULT_SERVER=NAME and starts the
#                                  server; returns 2 when jackd is missing, 1
#                                  when the server does not answer
#   stop_private_jackd             stops it again (harmless when none runs)
private_jackd_pid=

# Whether the server answers: jack_lsp opens a client where it is installed;
# without it (jack-example-tools missing on Debian 13), jackd2's request
# socket appearing says the same.
private_jackd_answers() {
  if command -v jack_lsp >/dev/null; then
    jack_lsp >/dev/null 2>&1
  else
    [ -S "/dev/shm/jack_${JACK_DEFAULT_SERVER}_$(id -u)_0" ]
  fi
}

start_private_jackd() {
  command -v jackd >/dev/null || return 2
  export JACK_DEFAULT_SERVER="$1"
  # 128 frames at 48 kHz: a 2.7 ms cycle; the dummy driver must be told to wait that long too.
  # Synchronous mode (-S): each cycle waits until every client has run. In the
  # default asynchronous mode a client the machine schedules late is skipped
  # for that cycle, and a message written to it then is gone without either
  # side knowing; on a busy 2-core machine that lost about one block in 15
  # runs of 64 back-to-back blocks.
  # PRIVATE_JACKD_ASYNC=1 runs one in the default asynchronous mode instead.
  local mode=-S
  [ "${PRIVATE_JACKD_ASYNC:-}" = 1 ] && mode=
  jackd $mode -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 128 -w 2666 >"$2" 2>&1 &
  private_jackd_pid=$!
  for _ in $(seq 50); do
    private_jackd_answers && return 0
    sleep 0.1
  done
  private_jackd_answers || return 1
}

stop_private_jackd() {
  if [ -n "$private_jackd_pid" ]; then
    kill "$private_jackd_pid" 2>/dev/null || true
    wait "$private_jackd_pid" 2>/dev/null || true
    private_jackd_pid=
  fi
}
