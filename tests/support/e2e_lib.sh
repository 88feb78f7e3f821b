# Steps that several end-to-end scripts share; sourced by them.

# expect NAME EXPECTED ACTUAL: one check's line; a mismatch counts in $failures.
failures=0
expect() {
    if [ "$2" == "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

# e2e_own_display WORKDIR [XVFB ARGS...]: starts an X server of the test's own and points
# DISPLAY at it (its pid in $xvfb_pid). Keys and pointer motion go to whichever window has
# them, and the suite runs many windowed tests at once on the shared display.
e2e_own_display() {
    local dir="$1"
    shift
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp "$@" 3>"$dir/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.05; done
    [ -s "$dir/display" ] || { echo "Xvfb did not start"; return 1; }
    export DISPLAY=":$(head -n1 "$dir/display")"
}

# e2e_window_at WID X Y: waits up to 10 s for the window's top-left corner to reach X Y. The
# window is mapped where the window library puts it and moved to its place just after, so one
# early reading can see the first place. The last reading is left in $X and $Y.
e2e_window_at() {
    X=none Y=none
    for _ in $(seq 100); do
        eval "$(xdotool getwindowgeometry --shell "$1")"
        [ "$X $Y" = "$2 $3" ] && return 0
        sleep 0.1
    done
    return 1
}

# e2e_engine_setup NAME: a scratch folder $work and an X server of the test's own, both
# removed at exit together with the program in $engine_pid, once that is set.
e2e_engine_setup() {
    work="$(mktemp -d "${TMPDIR:-/tmp}/velk_e2e_$1.XXXXXX")"
    xvfb_pid=""
    engine_pid=""
    trap e2e_engine_cleanup EXIT
    e2e_own_display "$work"
}
e2e_engine_cleanup() {
    [ -n "$engine_pid" ] && kill "$engine_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}

# poll SECONDS COMMAND...: retries a check for up to SECONDS seconds.
poll() {
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
}

# e2e_run_idle TENTHS ARGS...: starts "$VELKRUN" with ARGS and an idle script in the
# background (working folder "$WORK", output in "$WORK/idle.txt"), waits up to TENTHS tenths
# of a second for its first Draw, reports the window's geometry in $geometry ("WxH override")
# and its top-left corner in $position ("X Y"), presses Escape and waits as long for the run
# to end by itself: $ended (yes or no) and its exit code in $rc.
e2e_run_idle() {
    local tenths=$1
    shift
    [ -f "$WORK/scripts/idle.lua" ] || cat >"$WORK/scripts/idle.lua" <<'LUA'
function Init() end
function Draw()
  if not shown then print("drawing") io.stdout:flush() shown = true end
end
LUA
    "$VELKRUN" -s idle.lua "$@" >"$WORK/idle.txt" 2>/dev/null &
    local pid=$!
    # An Escape before the first Draw would be dropped; a loaded machine may take a while.
    for _ in $(seq "$tenths"); do
        grep -q drawing "$WORK/idle.txt" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    # The search is tried again: it gives up when a window it looks at goes away meanwhile,
    # such as the previous run's. Without a window id xwininfo would wait for a click.
    local wid=""
    for _ in $(seq 100); do
        wid=$(xdotool search --name '^velkEngine$' 2>/dev/null | head -n 1)
        [ -n "$wid" ] && break
        sleep 0.1
    done
    geometry="no window"
    position="no window"
    if [ -n "$wid" ]; then
        geometry=$(xwininfo -id "$wid" | awk '/Width:/ {w=$2} /Height:/ {h=$2} /Override Redirect/ {o=$4} END {print w "x" h " " o}')
        position=$(xwininfo -id "$wid" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} END {print x " " y}')
        xdotool key --window "$wid" Escape
    fi
    ended=no
    for _ in $(seq "$tenths"); do
        if ! kill -0 "$pid" 2>/dev/null; then
            ended=yes
            break
        fi
        sleep 0.1
    done
    if [ "$ended" == no ]; then kill "$pid"; fi
    wait "$pid"
    rc=$?
}

# e2e_real_moonscript SRC START_LUA_PATH: finds the real MoonScript compiler, whose LUA_PATH
# goes into $real_moon: the copy beside the source folder (SRC/../shared/moonscript-0.5.0),
# else one that the LUA_PATH the test started with finds (an install with luarocks; the
# stand-in of tests/support does not count). Returns 1 when there is neither.
e2e_real_moonscript() {
    local shared="$1/../shared/moonscript-0.5.0"
    if [ -f "$shared/moonscript/init.lua" ]; then
        shared=$(cd "$shared" && pwd)
        real_moon="$shared/?.lua;$shared/?/init.lua;;"
        return 0
    fi
    real_moon="${2:-;;}"
    command -v lua5.1 >/dev/null &&
        LUA_PATH="$real_moon" lua5.1 -e 'assert(not require("moonscript").standin)' 2>/dev/null
}
