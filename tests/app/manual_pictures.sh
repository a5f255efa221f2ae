#!/usr/bin/env bash
# manual_pictures.sh SOURCE BUILD: the pictures the manual shows are exactly those tools/screenshots/take
# takes from the windows as they are now, and exactly those docs/screenshots holds: a window that no longer
# opens the way the picture-taker drives it, a picture the manual names that is no longer taken, or one
# kept that nothing shows, fails. Exits 77 (skipped) where Xvfb is not installed.
set -euo pipefail
source=${1:?usage: manual_pictures.sh SOURCE BUILD}
build=${2:?usage: manual_pictures.sh SOURCE BUILD}
out=$(mktemp -d -p "$build" manual-pictures.XXXXXX)  # outside /home and /tmp: see take
trap 'rm -rf "$out"' EXIT

status=0
"$source/tools/screenshots/take" "$build" "$out" >/dev/null || status=$?
[ "$status" -ne 77 ] || exit 77
if [ "$status" -ne 0 ]; then
  echo "Taking the pictures failed (status $status)"
  exit 1
fi

names() { find "$1" -maxdepth 1 -name '*.png' -printf '%f\n' | sort; }
taken=$(names "$out")
kept=$(names "$source/docs/screenshots")
shown=$(grep -o '](screenshots/[^)]*\.png)' "$source/docs/manual.md" | sed 's|^](screenshots/||; s|)$||' | sort -u)
[ -n "$taken" ] || { echo "No picture was taken"; exit 1; }

failed=0
differ() {
  if [ "$2" != "$4" ]; then
    echo "$1 and $3 differ:"
    diff <(echo "$2") <(echo "$4") | sed -n 's/^[<>]/  &/p'
    failed=1
  fi
}
differ "Taken" "$taken" "shown in docs/manual.md" "$shown"
differ "Taken" "$taken" "kept in docs/screenshots" "$kept"
exit "$failed"
