#!/bin/bash
# A window asked for larger than the GL draws: velkRun opens GL's largest window, centred,
# and ends normally with Escape. On a software GL the 32767 x 32767 window that X allows
# aborted in the X library at the first present.
# Usage: e2e_oversized_window.sh <build dir> <source dir>
set -u
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}"/velk-e2e-big-XXXXXX)
. "$SRC/tests/support/e2e_lib.sh"
# An X server of our own, so that the window found by name is this test's.
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/x" "$WORK/scripts"
e2e_own_display "$WORK/x" || exit 1
ln -s "$SRC/run/media" "$WORK/media"
cd "$WORK" || exit 1
export LUA_PATH="$SRC/tests/support/?.lua;;"

# GL's largest viewport, each side capped at X's 32767.
read -r glw glh <<<"$(glxinfo -l 2>/dev/null | awk -F'[=,]' '/GL_MAX_VIEWPORT_DIMS/ {w=$2+0; h=$3+0} END {print w " " h}')"
[ "${glw:-0}" -gt 32767 ] && glw=32767
[ "${glh:-0}" -gt 32767 ] && glh=32767
read -r sw sh <<<"$(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w " " h}')"

VELKRUN="$BUILD/velkRun"
# Frames of this size take a while on a software GL, more so on a loaded machine.
e2e_run_idle 1200 -r 100000 100000
expect "-r 100000 100000: GL's largest window, centred" \
    "${glw}x${glh} no at $(((sw - glw) / 2)) $(((sh - glh) / 2))" "$geometry at $position"
expect "-r 100000 100000: drawn, ended by Escape" "yes 0 1" "$ended $rc $(grep -c '^drawing$' "$WORK/idle.txt")"

echo "$failures failed"
[ "$failures" -eq 0 ]
