#!/usr/bin/env bash
# Builds the Debian package as `make package` does, into a temporary folder,
# and checks its control data and contents: the library dependencies that
# dpkg-shlibdeps found (Qt, RtMidi, JACK, FluidSynth), the soundfont and fonts
# the program loads by name (recommended), the files a user gets, and what
# lintian --pedantic finds: no error or warning.
# Usage: deb_test.sh BUILD_DIR VERSION INSTALL_DEPS_SCRIPT
set -euo pipefail
build=${1:?} version=${2:?} deps_script=${3:?}

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-parsechangelog lintian; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
deb="$work/quillon_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb"); cpack made: $(ls "$work")"; exit 1; }

dpkg-deb -I "$deb" >"$work/info"
[ "$(dpkg-deb -f "$deb" Package)" = quillon ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version: $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6core6 libqt6gui6 libqt6widgets6 librtmidi libjack libfluidsynth libc6 libstdc\\+\\+6; do
  grep -qE "(^|, )$library[a-z0-9.-]* \(>= " <<<"$depends" || fail "Depends names no $library with a version"
done
# Every font and soundfont package the project installs for running is recommended.
recommends=$(dpkg-deb -f "$deb" Recommends)
for package in $(sed -n '/^packages=(/,/^)/p' "$deps_script" | sed 's/#.*//' | grep -oE '(fonts-[a-z0-9.+-]+|[a-z0-9.+-]+-soundfont)'); do
  grep -qE "(^|, )$package( |,|$)" <<<"$recommends" || fail "Recommends does not name $package"
  if grep -qE "(^|, )$package( |,|$)" <<<"$depends"; then fail "Depends names $package, which the programs do without"; fi
done

dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$work/contents"
for path in ./usr/bin/quillon ./usr/bin/quillon-cli ./usr/bin/quillon-keyboard ./usr/bin/quillon-start \
  ./usr/share/applications/org.example.quillon.Quillon.desktop \
  ./usr/share/metainfo/org.example.quillon.Quillon.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/org.example.quillon.Quillon.svg \
  ./usr/share/icons/hicolor/48x48/apps/org.example.quillon.Quillon.png \
  ./usr/share/man/man1/quillon.1.gz ./usr/share/bash-completion/completions/quillon-cli \
  ./usr/share/doc/quillon/copyright ./usr/share/doc/quillon/changelog.gz \
  "./usr/share/quillon/Quillon/mid/Little tune.mid" ./usr/share/quillon/Quillon/syx/; do
  grep -qxF -- "$path" "$work/contents" || fail "the package holds no $path"
done
if grep -vE '^\./usr/(bin|share)/' "$work/contents" | grep -vxE '\./(usr/)?'; then
  fail "the package holds files outside /usr/bin and /usr/share (above)"
fi
# The programs are stripped, as Debian ships them.
dpkg-deb -x "$deb" "$work/root"
file -b "$work/root/usr/bin/quillon" | grep -q ', stripped' || fail "quillon is not stripped: $(file -b "$work/root/usr/bin/quillon")"
ar t "$deb" | grep -qx data.tar.xz || fail "the package's data is not xz-compressed: $(ar t "$deb" | tr '\n' ' ')"
gzip -dc "$work/root/usr/share/doc/quillon/changelog.gz" >"$work/changelog"
changelog_version=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>/dev/null)
[ "$changelog_version" = "$version" ] || fail "the changelog's newest entry is $changelog_version, not $version"

# A packager's view: lintian, pedantic, with no error (E:) or warning (W:).
lintian --pedantic --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -qE '^[EW]: ' "$work/lintian.log"; then fail "lintian reports errors or warnings (above)"; fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package $(basename "$deb"): all checks passed"
