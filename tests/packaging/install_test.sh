#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks it as its user would
# meet it: the programs answer --version and --help, the manual pages and the
# bash completion know every option the programs take, the menu entry and the
# AppStream data pass their validators, the icons are pictures of their sizes,
# and the launcher starts quillon in a data folder of the user's own that it
# fills with the demo files once and never touches again.
# Usage: install_test.sh BUILD_DIR VERSION LIST_PROBE_LIBRARY DEMO_TREE
set -euo pipefail
build=${1:?} version=${2:?} probe=${3:?} demo=${4:?}
app_id=org.example.quillon.Quillon

for tool in desktop-file-validate appstreamcli groff file timeout; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
cd "$work"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

DESTDIR="$work/dest" cmake --install "$build" --prefix /usr >"$work/install.log"
root="$work/dest/usr"
bin="$root/bin"

# --- The programs: --version from the project's one version number, --help.
unset DISPLAY WAYLAND_DISPLAY # --version and --help must not need a display
for program in quillon quillon-cli quillon-keyboard; do
  got=$(env -u QT_QPA_PLATFORM "$bin/$program" --version 2>&1) || fail "$program --version exits with $?"
  [ "$(head -1 <<<"$got")" = "$program $version" ] || fail "$program --version says '$got', not '$program $version'"
  grep -q "GPL-3.0-or-later" <<<"$got" || fail "$program --version names no licence: $got"
  env -u QT_QPA_PLATFORM "$bin/$program" --help >"$work/$program.help" 2>&1 || fail "$program --help exits with $?"
  grep -q -- '--version' "$work/$program.help" || fail "$program --help does not name --version"
done
if QT_QPA_PLATFORM=offscreen "$bin/quillon" --no-such-option >/dev/null 2>&1; then
  fail "quillon takes an unknown option silently"
fi

# --- Manual pages: they render cleanly and name every option of --help.
man_text() { # man_text PAGE: the page as plain text, one long unbroken line per paragraph
  gzip -dc "$root/share/man/man1/$1.1.gz" | groff -man -Tascii -rLL=1000n -rHY=0 -P-cbou 2>/dev/null
}
long_options() { # long_options HELP_FILE: the --options listed at the start of its lines
  grep -oE '^ +(-[a-zA-Z?], ?|-[a-zA-Z],)?--[a-z][a-z0-9-]*' "$1" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u
}
for page in quillon quillon-cli quillon-keyboard quillon-start; do
  file="$root/share/man/man1/$page.1.gz"
  [ -f "$file" ] || { fail "no manual page for $page"; continue; }
  warnings=$(gzip -dc "$file" | groff -man -Tascii -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
done
# quillon-cli's commands and their options, as its own help lists them.
sed -n '/^Subcommands:/,$p' "$work/quillon-cli.help" | grep -oE '^  [a-z][a-z0-9-]+' | tr -d ' ' >"$work/commands"
[ -s "$work/commands" ] || fail "quillon-cli --help lists no commands"
while read -r command; do
  "$bin/quillon-cli" "$command" --help >"$work/help.$command" 2>&1 || fail "quillon-cli $command --help exits with $?"
done <"$work/commands"
for program in quillon quillon-cli quillon-keyboard; do
  text=$(man_text "$program")
  for option in $(long_options "$work/$program.help"); do
    grep -q -- "$option\b" <<<"$text" || fail "$program.1 does not name $option"
  done
done
text=$(man_text quillon-cli)
while read -r command; do
  grep -q -- "$command" <<<"$text" || fail "quillon-cli.1 does not describe the command $command"
  for option in $(long_options "$work/help.$command"); do
    grep -q -- "$option\b" <<<"$text" || fail "quillon-cli.1 does not name $command's $option"
  done
done <"$work/commands"

# --- Bash completion: the commands, each command's options, list's kinds, the files a command reads.
completion="$root/share/bash-completion/completions/quillon-cli"
complete_words() { # complete_words WORD...: what completion offers for the last word, sorted
  (
    source "$completion"
    COMP_WORDS=(quillon-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _quillon_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
  )
}
diff <(complete_words "") <( (cat "$work/commands"; echo --help; echo --version) | sort) >"$work/diff" ||
  fail "completion of the commands differs from quillon-cli --help: $(cat "$work/diff")"
while read -r command; do
  diff <(complete_words "$command" -) <(long_options "$work/help.$command") >"$work/diff" ||
    fail "completion of $command's options differs from its --help: $(cat "$work/diff")"
done <"$work/commands"
[ "$(complete_words list "" | tr '\n' ' ')" = "curves roms songs " ] || fail "completion of list's kinds"
mkdir -p "$work/files/sub"
touch "$work/files/a.mid" "$work/files/B.MID" "$work/files/c.bin" "$work/files/d.crv"
(cd "$work/files" && [ "$(complete_words send-songs "" | tr '\n' ' ')" = "B.MID a.mid sub " ]) ||
  fail "completion of send-songs offers other than its songs and folders"
(cd "$work/files" && [ "$(complete_words send-rom --out 1 "" | tr '\n' ' ')" = "c.bin sub " ]) ||
  fail "completion of send-rom offers other than its ROM images and folders"

# --- Desktop entry, AppStream data, icons.
entry="$root/share/applications/$app_id.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
# AppStream 1.x wants a homepage, which the project does not have yet: that
# warning, and only that one, is let through.
appstreamcli validate --no-net "$root/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  ! grep -v ': url-homepage-missing$' "$work/appstream.log" | grep -qE '^[EW]: ' ||
  fail "appstreamcli rejects the metadata: $(cat "$work/appstream.log")"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$bin/$exec_program" ] || fail "the desktop entry starts $exec_program, which is not installed"
[ "$(sed -n 's/^Icon=//p' "$entry")" = "$app_id" ] || fail "the desktop entry names another icon"
for size in 16 22 24 32 48 64 128 256; do
  icon="$root/share/icons/hicolor/${size}x$size/apps/$app_id.png"
  file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "icon $size: $(file -b "$icon")"
done
file -b "$root/share/icons/hicolor/scalable/apps/$app_id.svg" | grep -q SVG || fail "no scalable SVG icon"

# --- The launcher and the user's data folder.
diff -r "$demo" "$root/share/quillon/Quillon" -x .gitkeep >"$work/diff" ||
  fail "the installed demo tree differs from the shipped one: $(cat "$work/diff")"
start() { # start DATA_HOME [OPTION...]: quillon through the launcher, offscreen; the probe's report in $work/shown
  rm -f "$work/shown"
  env HOME="$work/home" XDG_DATA_HOME="$1" QT_QPA_PLATFORM=offscreen LD_PRELOAD="$probe" \
    QUILLON_PROBE_OUT="$work/shown" timeout 60 "$bin/quillon-start" "${@:2}" >"$work/start.log" 2>&1 ||
    fail "quillon-start exits with $?: $(cat "$work/start.log")"
}
shown_songs() { sed -n 's/^row: //p' "$work/shown" | sort; }
data="$work/data"
user="$data/quillon/Quillon"
mkdir "$data"
start "$data"
diff -r "$root/share/quillon/Quillon" "$user" >"$work/diff" ||
  fail "the first start did not copy the demo tree: $(cat "$work/diff")"
grep -qx "window: Quillon v$version Beta" "$work/shown" || fail "the window shown: $(grep '^window' "$work/shown")"
grep -qx "desktop-file: $app_id" "$work/shown" || fail "the windows name another desktop entry: $(head -1 "$work/shown")"
grep -qx "window-class: $(sed -n 's/^StartupWMClass=//p' "$entry")" "$work/shown" ||
  fail "the windows' class is not the desktop entry's StartupWMClass: $(grep '^window-class' "$work/shown")"
diff <(shown_songs) <(ls "$demo/mid" | sort) >"$work/diff" ||
  fail "the main window does not list the demo songs: $(cat "$work/diff")"

# Qt's own options for every widget program reach Qt, and the window still opens.
echo 'QListWidget { color: navy }' >"$work/look.qss"
icon="$root/share/icons/hicolor/48x48/apps/$app_id.png"
for options in -reverse "-style Fusion" -style=Fusion "-stylesheet $work/look.qss" "-stylesheet=$work/look.qss" \
  -widgetcount "-platformtheme gtk3" "-platform offscreen" "-platformpluginpath $work" "-plugin evdevkeyboard" \
  "-qwindowgeometry 400x300+10+10" "-qwindowicon $icon" "-qwindowtitle Keys" "-session 1234" "-display :0" \
  "-geometry 400x300" "-visual TrueColor" -dialogs=none -fontengine=freetype; do
  start "$data" $options
  grep -q "^window: " "$work/shown" || fail "with $options no window opens: $(cat "$work/start.log")"
  [ "$options" != -reverse ] || grep -qx "direction: rtl" "$work/shown" || fail "-reverse does not reach Qt"
done

# The user edits a song, deletes one and adds one of their own; the next start keeps it all.
songs=("$user"/mid/*.mid)
printf 'edited' >>"${songs[0]}"
rm "${songs[1]}"
cp "${songs[0]}" "$user/mid/mine.mid"
(cd "$data" && find . -type f -exec md5sum {} + | sort) >"$work/before"
start "$data"
(cd "$data" && find . -type f -exec md5sum {} + | sort) >"$work/after"
diff "$work/before" "$work/after" >"$work/diff" || fail "the second start changed the user's files: $(cat "$work/diff")"
diff <(shown_songs) <(ls "$user/mid" | sort) >"$work/diff" ||
  fail "the second start does not list the user's songs: $(cat "$work/diff")"

# Without XDG_DATA_HOME (or with a relative one) the folder is ~/.local/share/quillon. --version and
# --help copy nothing; a first start killed while copying leaves a temporary copy the next one removes.
for data_home in "" "relative/path"; do
  rm -rf "$work/home"
  for option in --version --help; do
    env HOME="$work/home" XDG_DATA_HOME="$data_home" "$bin/quillon-start" $option >/dev/null ||
      fail "quillon-start $option with XDG_DATA_HOME='$data_home'"
  done
  [ ! -e "$work/home" ] || fail "quillon-start --version or --help made $(find "$work/home" | tail -1)"
  mkdir -p "$work/home/.local/share/quillon/.Quillon-Kil1ed"
  start "$data_home"
  [ -f "$work/home/.local/share/quillon/Quillon/mid/$(ls "$demo/mid" | head -1)" ] ||
    fail "XDG_DATA_HOME='$data_home' did not lead to ~/.local/share/quillon"
  [ ! -e "$work/home/.local/share/quillon/.Quillon-Kil1ed" ] || fail "the interrupted copy was left lying"
done
# A data folder that cannot be made is named, with the reason.
touch "$work/file"
env HOME="$work/home" XDG_DATA_HOME="$work/file" DISPLAY= WAYLAND_DISPLAY= "$bin/quillon-start" >/dev/null 2>"$work/start.log" &&
  fail "quillon-start started without its data folder"
grep -q "cannot create the data folder $work/file/quillon: Not a directory" "$work/start.log" ||
  fail "quillon-start's error: $(cat "$work/start.log")"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed tree: all checks passed"
