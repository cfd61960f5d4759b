#!/usr/bin/env bash
# Installs the Debian packages Quillon needs to build, run, test and package.
# The fonts-* and *-soundfont packages below are also the Debian package's
# dependencies for what the program loads by name (packaging/Package.cmake).
# A quick no-op when everything is present; runs `apt-get update` at most once.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev
  librtmidi-dev libasound2-dev
  libfluidsynth-dev timgm6mb-soundfont
  jackd2 pipewire pipewire-bin pipewire-jack
  libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # Liberation for the named Latin fonts; WenQuanYi Micro Hei, the smallest
  # packaged font with the full-width "？" and the Chinese menu text.
  fonts-liberation fonts-wqy-microhei
  clang libclang-rt-dev clang-format clang-tidy
  qt6-svg-dev dpkg-dev desktop-file-utils appstream groff-base file lintian
)

# jack_lsp, which the tests use to see a JACK server: part of jackd2 on Debian
# 12, of jack-example-tools (only recommended by jackd2) from Debian 13 on.
. /etc/os-release
if [ "${VERSION_CODENAME:-}" != bookworm ]; then
  packages+=(jack-example-tools)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
