#!/bin/bash
# A window asked for larger than the GL draws: velkRun opens GL's largest window, centred,
# and ends normally with Escape. On a software GL the 32767 x 32767 window that X allows
# aborted in the X library at the first present.
# Usage: e2e_oversized_window.sh <build dir> <source dir>
set -u
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
# An X server of our own, so that the window found by name is this test's.
if [ -z "${VELK_E2E_OWN_X:-}" ]; then
    VELK_E2E_OWN_X=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$BUILD" "$SRC"
fi
WORK=$(mktemp -d /tmp/velk-e2e-big-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/scripts"
ln -s "$SRC/run/media" "$WORK/media"
cd "$WORK" || exit 1
export LUA_PATH="$SRC/tests/support/?.lua;;"

failures=0
expect() { # expect NAME EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

# GL's largest viewport, each side capped at X's 32767.
read -r glw glh <<<"$(glxinfo -l 2>/dev/null | awk -F'[=,]' '/GL_MAX_VIEWPORT_DIMS/ {w=$2+0; h=$3+0} END {print w " " h}')"
[ "${glw:-0}" -gt 32767 ] && glw=32767
[ "${glh:-0}" -gt 32767 ] && glh=32767
read -r sw sh <<<"$(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w " " h}')"

cat >scripts/idle.lua <<'EOF'
function Init() end
function Draw()
  if not shown then print("drawing") io.stdout:flush() shown = true end
end
EOF
"$BUILD/velkRun" -s idle.lua -r 100000 100000 >out.txt 2>/dev/null &
pid=$!
# Frames of this size take a while on a software GL, more so on a loaded machine.
for _ in $(seq 1200); do
    grep -q drawing out.txt && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
wid=""
for _ in $(seq 100); do
    wid=$(xdotool search --name '^velkEngine$' 2>/dev/null | head -n 1)
    [ -n "$wid" ] && break
    sleep 0.1
done
geometry="no window"
if [ -n "$wid" ]; then
    geometry=$(xwininfo -id "$wid" | awk '/Width:/ {w=$2} /Height:/ {h=$2} /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} END {print w "x" h " at " x " " y}')
    xdotool key --window "$wid" Escape
fi
ended=no
for _ in $(seq 1200); do
    if ! kill -0 "$pid" 2>/dev/null; then
        ended=yes
        break
    fi
    sleep 0.1
done
[ "$ended" == no ] && kill "$pid"
wait "$pid"
rc=$?
expect "-r 100000 100000: GL's largest window, centred" \
    "${glw}x${glh} at $(((sw - glw) / 2)) $(((sh - glh) / 2))" "$geometry"
expect "-r 100000 100000: drawn, ended by Escape" "yes 0 1" "$ended $rc $(grep -c '^drawing$' out.txt)"

echo "$failures failed"
[ "$failures" -eq 0 ]
