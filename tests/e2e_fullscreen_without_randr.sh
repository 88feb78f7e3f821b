#!/bin/bash
# A fullscreen window on an X server that lists no fullscreen mode (no RandR extension):
# velkRun opens a plain window instead of crashing inside SFML, whose fullscreen set-up
# would take the first entry of the empty mode list.
# Usage: e2e_fullscreen_without_randr.sh <build dir> <source dir>
set -u
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}"/velk-e2e-norandr-XXXXXX)
. "$SRC/tests/support/e2e_lib.sh"
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/x" "$WORK/scripts"
e2e_own_display "$WORK/x" -extension RANDR || exit 1
ln -s "$SRC/run/media" "$WORK/media"
cd "$WORK" || exit 1

# No script: the window is opened (and the GL state set up) before Init fails, so the
# Init error line shows that the run got past the window.
for args in "-f" "r max f" "-r 640 480 -f"; do
    # shellcheck disable=SC2086
    timeout 30 "$BUILD/velkRun" $args -s missing.lua >"$WORK/out.txt" 2>/dev/null
    rc=$?
    expect "velkRun $args: exit code" 0 "$rc"
    grep -q '^Lua Err INIT: ' "$WORK/out.txt"
    expect "velkRun $args: reached the script's Init" 0 "$?"
done

echo "$failures failed"
[ "$failures" -eq 0 ]
