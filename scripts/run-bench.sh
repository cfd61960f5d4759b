#!/usr/bin/env bash
# Runs every benchmark program in <build>/bench/ and writes <build>/bench-report.md:
# one table of every figure with its ratio against the baseline measured in the
# same run, then each program's full output. bench/README.md has the conventions.
# Usage: scripts/run-bench.sh [build-folder]
set -uo pipefail
build=${1:-build}
timeout_seconds=${BENCH_TIMEOUT:-600}
report="$build/bench-report.md"
work=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen
# Qt wants a private runtime folder; without one every Qt program warns about it.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

# The JACK figures need a server, stopped at the end. Without jackd the
# programs report their JACK figures as not measured.
source "$(dirname "$0")/private-jackd.sh"
source "$(dirname "$0")/private-pipewire.sh"
finish() {
  stop_private_jackd
  stop_private_pipewire
  rm -rf "$work"
}
trap finish EXIT
start_private_jackd "quillon-bench-$$" "$work/jackd.log" || case $? in
  2) echo "run-bench: jackd is not installed; JACK figures will be missing" >&2 ;;
  *) echo "run-bench: jackd did not start; JACK figures will be missing" >&2; cat "$work/jackd.log" >&2 ;;
esac

mapfile -t programs < <(find "$build/bench" -maxdepth 1 -type f -perm -u+x | sort)
if [ ${#programs[@]} -eq 0 ]; then
  echo "run-bench: no benchmark programs in $build/bench (build first)" >&2
  exit 1
fi

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
rows="$work/rows"
: >"$rows"
failed=0
for program in "${programs[@]}"; do
  name=$(basename "$program")
  echo "== $name"
  if grep -q -a -- '--benchmark_format' "$program"; then
    timeout "$timeout_seconds" "$program" --benchmark_format=json >"$work/$name.json" 2>"$work/$name.out"
    status=$?
    # Google Benchmark: real time per benchmark, against the one named *Baseline*.
    python3 - "$name" "$work/$name.json" >>"$rows" <<'PY' || status=1
import json, sys
name, path = sys.argv[1], sys.argv[2]
runs = [b for b in json.load(open(path))["benchmarks"] if b.get("run_type", "iteration") == "iteration"]
base = next((b for b in runs if "Baseline" in b["name"]), None)
for b in runs:
    ratio = "%.3f" % (b["real_time"] / base["real_time"]) if base and b is not base else "-"
    print("| %s | %s | %.3f | %s | %s |" % (name, b["name"], b["real_time"], b["time_unit"], ratio))
PY
    cat "$work/$name.json" >>"$work/$name.out"
  else
    timeout "$timeout_seconds" "$program" >"$work/$name.out" 2>&1
    status=$?
    grep -E '^\|[^|]+\|[^|]+\|[^|]+\|[^|]+\|[[:space:]]*$' "$work/$name.out" | grep -vE '^\|[ -]*\|' |
      sed "s/^|/| $name |/" >>"$rows"
  fi
  if [ $status -ne 0 ]; then
    echo "run-bench: $name failed (exit $status)" >&2
    echo "| $name | FAILED (exit $status) | | | |" >>"$rows"
    failed=1
  fi
  cat "$work/$name.out"
done

# The transfer figures again under PipeWire's JACK layer (cycles of 128 frames).
if [ -x "$build/bench/bench_midi_transfer" ] && start_private_pipewire "$work/pipewire.log"; then
  name="bench_midi_transfer (pw-jack)"
  programs+=("$build/bench/$name")
  echo "== $name"
  run_on_private_pipewire timeout "$timeout_seconds" "$build/bench/bench_midi_transfer" >"$work/$name.out" 2>&1 ||
    { echo "| $name | FAILED | | | |" >>"$rows"; failed=1; }
  grep -E '^\|[^|]+\|[^|]+\|[^|]+\|[^|]+\|[[:space:]]*$' "$work/$name.out" | grep -vE '^\|[ -]*\|' |
    sed "s/^|/| $name |/" >>"$rows"
  cat "$work/$name.out"
  stop_private_pipewire
else
  echo "run-bench: no PipeWire here; no figures under pw-jack" >&2
fi

{
  echo "# Quillon benchmarks"
  echo
  echo "Run $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, load average at the start: $load_at_start, at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "Each ratio is against a baseline measured in the same run (see each program's output below)."
  echo
  echo "| program | figure | value | unit | ratio |"
  echo "|---|---|---|---|---|"
  cat "$rows"
  for program in "${programs[@]}"; do
    name=$(basename "$program")
    echo
    echo "## $name"
    echo
    echo '```'
    cat "$work/$name.out"
    echo '```'
  done
} >"$report"
echo "run-bench: wrote $report"
exit $failed
