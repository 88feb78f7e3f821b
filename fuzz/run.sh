#!/usr/bin/env bash
# Runs every fuzz target built by fuzz/build.sh for `seconds` each, at most `at once`
# together (default: all), each from its seeds and its corpus in <output dir>/corpus/<name>/
# (kept between runs). Any finding (crash, sanitizer report, leak, timeout, out of memory)
# fails the run and shows the end of its log; logs and the inputs of findings are in
# <output dir>/runs/.
#   fuzz/run.sh [output dir] [seconds] [at once]   (defaults: build-fuzz/ at the repository root, 15)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$(cd "${1:-$root/build-fuzz}" && pwd)
secs=${2:-15}
targets=(macroprocessor objreader packedmesh shadsplit cursor)
atOnce=${3:-${#targets[@]}}
runs="$out/runs"
mkdir -p "$runs"
# The targets make their scratch folders in $TMPDIR: one folder of this run's own (in memory
# where the system offers it), removed at the end whatever a target left behind.
parent=${TMPDIR:-/dev/shm}
{ [ -d "$parent" ] && [ -w "$parent" ]; } || parent=/tmp
scratch=$(mktemp -d "$parent/velk-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$atOnce" ]; do wait -n || true; done
    mkdir -p "$out/corpus/$t"
    rm -f "$runs/$t.rc"
    dict=()
    [ -f "$here/$t.dict" ] && dict=(-dict="$here/$t.dict")
    (rc=0
     "$out/fuzz_$t" ${dict[@]+"${dict[@]}"} -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
         -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$runs/$t-" \
         "$out/corpus/$t" "$here/seeds/$t" >"$runs/$t.log" 2>&1 || rc=$?
     echo $rc >"$runs/$t.rc") &
done
wait
status=0
for t in "${targets[@]}"; do
    if [ "$(cat "$runs/$t.rc")" = 0 ]; then
        n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$runs/$t.log")
        s=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$runs/$t.log")
        echo "fuzz_$t: $n inputs in $s s"
    else
        status=1
        echo "fuzz_$t: FINDING (log $runs/$t.log, input $runs/$t-*)"
        tail -n 40 "$runs/$t.log"
    fi
done
exit $status
