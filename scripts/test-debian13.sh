#!/usr/bin/env bash
# `make test-debian13`: the README's `make test` on a fresh Debian 13 (trixie):
# a chroot that debootstrap builds from Debian's archive once and keeps in
# QUILLON_DEBIAN13_ROOT (default /var/cache/quillon-debian13), a fresh copy of
# this tree in it, then `make test` there. Run as root (it asks sudo).
# The chroot's mounts and whatever it starts (jackd, PipeWire) live in mount and
# PID namespaces of their own, so they end with this script, failed or not.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QUILLON_DEBIAN13_ROOT:-/var/cache/quillon-debian13}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=CI,CMAKE_BUILD_PARALLEL_LEVEL,QUILLON_DEBIAN13_ROOT,DEBIAN_MIRROR "$0" "$@"
fi
if [ -z "${QUILLON_DEBIAN13_NS:-}" ]; then
  QUILLON_DEBIAN13_NS=1 exec unshare --mount --pid --fork --propagation private "$0" "$@"
fi

if [ ! -e "$root/.quillon-ready" ]; then
  if ! command -v debootstrap >/dev/null; then
    apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends debootstrap
  fi
  rm -rf --one-file-system "$root" # what an interrupted run left
  # make: the README's commands; ccache: rebuilds of a fresh copy stay quick.
  debootstrap --variant=minbase --include=make,ccache trixie "$root" "$mirror"
  touch "$root/.quillon-ready"
fi

mounts=()
undo_mounts() {
  local i
  if [ $$ -eq 1 ]; then # the PID namespace's first process: -1 is every other one in it
    kill -KILL -1 2>/dev/null || true
    wait || true
  fi
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" || true; done
}
trap undo_mounts EXIT
mnt() { # mnt TARGET MOUNT-ARGS...: mounts over $root/TARGET, undone on exit
  mount "${@:2}" "$root/$1"
  mounts+=("$root/$1")
}
mnt proc -t proc proc
mnt dev --bind /dev
mnt dev/pts --bind /dev/pts
mnt dev/shm -t tmpfs -o mode=1777 tmpfs
mnt run -t tmpfs -o mode=755 tmpfs
mnt tmp -t tmpfs -o mode=1777 tmpfs
cp /etc/resolv.conf "$root/etc/resolv.conf"

tree=/root/quillon
rm -rf --one-file-system "${root:?}$tree"
mkdir -p "$root$tree"
tar -C "$src" --exclude='./build*' --exclude=./.git --exclude=./.cache -cf - . | tar -C "$root$tree" -xf -

log=$root/root/test-debian13.log
echo "test-debian13: make test in $root$tree (output also in $log)"
status=0
chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
  LANG=C.UTF-8 TERM=dumb CI="${CI:-}" ${CMAKE_BUILD_PARALLEL_LEVEL:+CMAKE_BUILD_PARALLEL_LEVEL=$CMAKE_BUILD_PARALLEL_LEVEL} CCACHE_DIR=/var/cache/ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache \
  make -C "$tree" test 2>&1 | tee "$log" || status=$?

# run-tests.sh runs the suite under jackd, then the JACK tests under pw-jack: two
# ctest summaries, and the transfer test skipped in neither (what a missing
# jack_lsp or PipeWire would do without failing anything).
chroot "$root" dpkg-query -W -f='test-debian13: ${Package} ${Version}\n' gcc qt6-base-dev pipewire 2>/dev/null || true
grep -E 'tests passed|\*\*\*' "$log" || true
[ "$status" -eq 0 ] || exit "$status"
if [ "$(grep -c 'tests passed' "$log")" -lt 2 ] || grep -q 'midi_jack_transfer .*Skipped' "$log"; then
  echo "test-debian13: the JACK transfer test did not run under both jackd and pw-jack"
  exit 1
fi
echo "test-debian13: passed"
