#!/usr/bin/env bash
# Google Benchmark and the libraries the benchmarks compare against are optional: a project
# that adds the engine with add_subdirectory configures it where they are missing, with one
# line for each benchmark left out. Configuring only: building is checked by hand.
#   bash e2e_optional_peers.sh <build dir> <source dir>
set -uo pipefail
build="$(cd "$1" && pwd)"
src="$(cd "$2" && pwd)"
# The same check on the same CMake files: once, in the plain build's pass.
if grep -qs '^VELK_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "done in the plain build's pass"
    exit 0
fi
work="$(mktemp -d "${TMPDIR:-/tmp}"/velk-e2e-peers-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/outer"
cat >"$work/outer/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.18)
project(outer CXX C)
add_subdirectory("$src" velk)
EOF

. "$src/tests/support/e2e_lib.sh"
# One build folder for both, so that the compilers are looked at once.
configure() { # configure NAME CMAKE-ARGS...: output in $work/NAME.txt, targets in $work/NAME.targets
    local name=$1
    shift
    cmake -S "$work/outer" -B "$work/build" "$@" >"$work/$name.txt" 2>&1
    expect "$name: configures" 0 "$?"
    cmake --build "$work/build" --target help 2>/dev/null | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' >"$work/$name.targets"
}
has() { grep -qx -- "$2" "$work/$1.targets" && echo yes || echo no; }

configure noobj -DCMAKE_DISABLE_FIND_PACKAGE_tinyobjloader=ON
expect "noobj: the line" "-- velk: tinyobjloader not found, bench_objreader skipped" "$(grep 'velk:' "$work/noobj.txt")"
expect "noobj: bench_objreader left out" no "$(has noobj bench_objreader)"
expect "noobj: other benchmarks kept" yes "$(has noobj bench_spacemapper)"

configure none -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DCMAKE_DISABLE_FIND_PACKAGE_tinyobjloader=ON
expect "none: the line" "-- velk: Google Benchmark not found, benchmarks skipped" "$(grep 'velk:' "$work/none.txt")"
expect "none: both flags used" 0 "$(grep -c 'not used by the project' "$work/none.txt")"
for t in velkcore velkRun velkEngine test_strfuncs bench_spacemapper; do
    want=yes
    [ "$t" == bench_spacemapper ] && want=no
    expect "none: target $t" "$want" "$(has none "$t")"
done

if [ "$failures" -ne 0 ]; then
    for f in "$work"/*.txt; do echo "--- $f"; tail -n 20 "$f"; done
fi
echo "$failures failed"
[ "$failures" -eq 0 ]
