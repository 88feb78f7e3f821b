#!/usr/bin/env bash
# velkEngine in a fresh copy of run/, as a new user starts it: the launcher window is
# centred on the screen, its log lines reach a file while it runs, a demo's screenshot key
# saves into the shipped screenshots folder, and whatever the run leaves behind in run/ is
# ignored by git.
#   bash e2e_run_folder.sh <build dir> <source dir>
set -euo pipefail
build="$(cd "$1" && pwd)"
src="$(cd "$2" && pwd)"
engine="$build/velkEngine"
[ -x "$engine" ] || { echo "missing $engine"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
export ALSOFT_DRIVERS=null
. "$src/tests/support/e2e_lib.sh"
e2e_engine_setup runfolder || exit 1

fail() {
  echo "FAIL: $*"
  for f in "$run"/out.txt "$run"/err.txt; do [ -f "$f" ] && { echo "--- $f"; tail -n 20 "$f"; }; done
  exit 1
}
running() { kill -0 "$engine_pid" 2>/dev/null; }

# The copy holds what a clone holds: the tracked files of run/ (all of run/ outside git).
run="$work/run"
mkdir -p "$run"
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  tracked=1
  (cd "$src" && git ls-files run | tar -cf - -T -) | tar -xf - -C "$work"
else
  tracked=0
  cp -r "$src/run/." "$run/"
fi
[ -d "$run/screenshots" ] || fail "run/ ships no screenshots folder"
# The noisefield demo, selected in the launcher's prefs (list order is the folder's).
index="$(cd "$run/scripts" && python3 -c 'import os; n=[f for f in os.listdir(".")]; print(n.index("noisefield.lua"))')"
printf "\\x$(printf %02x "$index")\\x00\\x00" >"$run/prefs.txt"

(cd "$run" && exec "$engine" >out.txt 2>err.txt) &
engine_pid=$!
wid=""
poll 30 eval 'wid="$(xdotool search --name "^velkEngine$" 2>/dev/null | head -n1)"; [ -n "$wid" ]' ||
  fail "no launcher window"
# 1024 x 768 in the middle of 1280 x 1024.
e2e_window_at "$wid" 128 128 || fail "launcher window at $X $Y, not centred"
echo "ok: the launcher window is centred"

# The frame-rate line comes once a second; it must reach the file while the program runs.
poll 30 grep -q '^FPS: ' "$run/out.txt" || fail "no frame-rate line while running"
running || fail "velkEngine ended"
echo "ok: log lines reach a file as they are printed"

xdotool key Return
# The demo window replaces the launcher's; its first frames drop keys, so F12 is pressed
# until the screenshot is there.
shot="$run/screenshots/capture000.bmp"
poll 60 eval 'xdotool key F12; sleep 0.4; [ -s "$shot" ]' || fail "F12 saved no screenshot"
grep -qx "Screenshot saved to: screenshots/capture000.bmp" "$run/out.txt" || fail "no screenshot line"
! grep -q "Error opening directory" "$run/out.txt" || fail "the screenshot folder could not be listed"
# A whole 1024 x 768 capture: 54 header bytes and rows of 3072 bytes.
poll 10 eval '[ "$(stat -c %s "$shot")" -eq 2359350 ]' || fail "capture is $(stat -c %s "$shot") bytes"
echo "ok: the screenshot key saves into run/screenshots"

xdotool key n # the next noise seed, saved at once
poll 20 test -s "$run/noisefield.sav" || fail "the demo saved nothing"
xdotool key Escape
poll 30 eval '! running' || fail "velkEngine did not end"
wait "$engine_pid" || fail "velkEngine exited with $?"
engine_pid=""

if [ "$tracked" = 1 ]; then
  # Everything the run wrote (prefs, capture, save file, logs) stays out of git.
  (cd "$src" && git ls-files run) | sort >"$work/tracked.txt"
  (cd "$work" && find run -type f ! -name out.txt ! -name err.txt) | sort >"$work/now.txt"
  while read -r f; do
    git -C "$src" check-ignore -q --no-index "$f" || fail "$f is not ignored by git"
  done < <(comm -13 "$work/tracked.txt" "$work/now.txt")
  echo "ok: what the run leaves in run/ is ignored by git"
fi
echo "all ok"
