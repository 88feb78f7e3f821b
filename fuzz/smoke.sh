#!/usr/bin/env bash
# Smoke run of every fuzz target built by fuzz/build.sh: all at once, `seconds` each
# (default 15), each from its seeds in a fresh corpus folder. Any finding (crash, sanitizer
# report, leak, timeout, out of memory) fails the run and shows the end of its log.
#   fuzz/smoke.sh [output dir] [seconds]     (default: build-fuzz/ at the repository root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$(cd "${1:-$root/build-fuzz}" && pwd)
secs=${2:-15}
targets=(macroprocessor objreader packedmesh shadsplit cursor)
run="$out/smoke"
rm -rf "$run"
declare -A pid
for t in "${targets[@]}"; do
    mkdir -p "$run/$t/corpus"
    dict=()
    [ -f "$here/$t.dict" ] && dict=(-dict="$here/$t.dict")
    "$out/fuzz_$t" ${dict[@]+"${dict[@]}"} -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
        -close_fd_mask=1 -artifact_prefix="$run/$t/" "$run/$t/corpus" "$here/seeds/$t" >"$run/$t.log" 2>&1 &
    pid[$t]=$!
done
status=0
for t in "${targets[@]}"; do
    if wait "${pid[$t]}"; then
        echo "fuzz_$t: $(grep -h '^Done' "$run/$t.log" || echo 'no summary')"
    else
        status=1
        echo "fuzz_$t: FINDING (log $run/$t.log, input in $run/$t/)"
        tail -n 40 "$run/$t.log"
    fi
done
exit $status
