#!/usr/bin/env bash
# Checks that every include in src/ points down the floors, never up:
#   0 base (core, widgets) and ui     3 session
#   1 midi                            4 the areas' widgets
#   2 transfer, curve, player         5 app and cli
# On one floor a file may include its own area (base and ui count as one) and
# the other areas' core folders only; a core folder includes only core folders
# and never Qt.
# Usage: scripts/check-layers.sh  (prints each wrong include; fails if any)
set -euo pipefail
cd "$(dirname "$0")/../src"

floor() {
  case $1 in
    base/* | ui) echo 0 ;;
    midi/core | midi/io) echo 1 ;;
    transfer/core | transfer/io | curve/core | player/core | player/engine) echo 2 ;;
    session) echo 3 ;;
    app | app/* | cli) echo 5 ;;
    */widgets) echo 4 ;;
    *) echo "check-layers: $1 is on no floor; add it here" >&2; echo 99 ;;
  esac
}
area() { case $1 in ui | base/*) echo base ;; *) echo "${1%%/*}" ;; esac; }
# The folder a path in src belongs to: "midi/io" for midi/io/X.h, "ui" for ui/X.h.
folder() { case $1 in */*/*) echo "${1%/*}" ;; *) echo "${1%%/*}" ;; esac; }

wrong=0
while IFS=: read -r file line text; do
  from=$(folder "$file")
  if [[ $text =~ \#include\ \"([a-z]+/[^\"]+)\" ]]; then
    target=${BASH_REMATCH[1]}
    [ -e "$target" ] || continue # a generated header or one beside the file
    to=$(folder "$target")
    [ "$from" = "$to" ] && continue
    f=$(floor "$from") t=$(floor "$to")
    if ((t > f)) || { ((t == f)) && [ "$(area "$from")" != "$(area "$to")" ] && [[ $to != */core ]]; } ||
      { [[ $from == */core ]] && [[ $to != */core ]]; }; then
      echo "src/$file:$line: $from includes $to (floor $f includes floor $t)"
      wrong=1
    fi
  elif [[ $from == */core && $text =~ \#include\ \<Q ]]; then
    echo "src/$file:$line: a core folder includes Qt"
    wrong=1
  fi
done < <(grep -rn '^#include' --include='*.h' --include='*.cpp' .  | sed 's#^\./##')
if ((wrong)); then
  echo "check-layers: includes point up (see above)"
  exit 1
fi
echo "check-layers: every include points down"
