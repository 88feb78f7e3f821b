#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the address and undefined-behaviour
# sanitizers, into <output dir>/fuzz_<name>. Not part of the CMake build; `./velk test`
# builds them and smoke-runs each for 15 s (fuzz/run.sh).
#   fuzz/build.sh [output dir]        (default: build-fuzz/ at the repository root)
#
# Targets (seeds in fuzz/seeds/<name>/, a dictionary in fuzz/<name>.dict where there is one):
#   macroprocessor  the macro preprocessor
#   objreader       the OBJ reader over a whole file, directly and through the geometry manager
#   packedmesh      the packed mesh reader, segment after segment
#   shadsplit       the ".shad" splitter with #INCLUDE (include files in a scratch folder)
#   cursor          the cursor reader of DataBlock (GetData with random formats and data,
#                   SkipData, SetData, AppendData, SkipToNextLine, ToBeginningOfLine)
#
# Long runs, ten minutes each, four targets at a time (about 20 minutes); the corpora grow in
# build-fuzz/corpus/<name>/, logs and the inputs of findings go to build-fuzz/runs/, and the
# summary gives each target's count of inputs:
#   fuzz/build.sh && fuzz/run.sh build-fuzz 600 4
# One target by hand (the targets work in scratch folders of their own: absolute paths):
#   build-fuzz/fuzz_objreader -dict=$PWD/fuzz/objreader.dict -close_fd_mask=1 \
#       -artifact_prefix=$PWD/build-fuzz/ $PWD/build-fuzz/corpus/objreader $PWD/fuzz/seeds/objreader
# Replay an input: build-fuzz/fuzz_<name> <absolute path of the input>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/build-fuzz}
core=$root/src/core
cxx=${CXX:-clang++}
mkdir -p "$out/obj"
for t in macroprocessor objreader packedmesh shadsplit cursor; do mkdir -p "$out/corpus/$t"; done

flags=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=all -I"$core")

# Engine sources are compiled once (in parallel) and shared by the targets.
sources=(datablock strfuncs wholefile macroProcessor geometry manager vlq programKind vlmath glplatform shadering)
pids=()
for s in "${sources[@]}"; do
    "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$core/$s.cpp" -o "$out/obj/$s.o" &
    pids+=($!)
done
for p in "${pids[@]}"; do wait "$p"; done

link() { # link NAME ENGINE-OBJECTS... [-- LIBS...]
    local name=$1; shift
    local objs=() libs=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do objs+=("$out/obj/$1.o"); shift; done
    [ $# -gt 0 ] && shift && libs=("$@")
    "$cxx" "${flags[@]}" -fsanitize=fuzzer,address,undefined "$here/fuzz_$name.cpp" "${objs[@]}" \
        ${libs[@]+"${libs[@]}"} -o "$out/fuzz_$name"
    echo "built $out/fuzz_$name"
}

# The mesh and shader sources call GL, so those targets link libGL; the reader paths
# themselves make no GL call and no context is ever created.
mesh=(geometry manager vlq programKind vlmath glplatform strfuncs wholefile datablock)
link macroprocessor macroProcessor datablock strfuncs wholefile &
link objreader "${mesh[@]}" -- -lGL -lGLU -ldl &
link packedmesh "${mesh[@]}" -- -lGL -lGLU -ldl &
link shadsplit shadering manager vlq programKind glplatform strfuncs wholefile datablock -- -lGL -ldl &
link cursor datablock strfuncs wholefile &
status=0
for p in $(jobs -p); do wait "$p" || status=1; done
exit $status
