#!/usr/bin/env bash
# Builds the libFuzzer target of the macro preprocessor with clang and the address and
# undefined-behaviour sanitizers. Not part of the CMake build or CI.
#   fuzz/build.sh [output dir]        (default: build-fuzz/ at the repository root)
# The target works in a scratch folder of its own, so give it absolute paths, e.g.:
#   "$PWD"/build-fuzz/fuzz_macroprocessor -dict="$PWD"/fuzz/macroprocessor.dict \
#       -close_fd_mask=1 -artifact_prefix="$PWD"/build-fuzz/ -runs=10000000 \
#       "$PWD"/build-fuzz/corpus "$PWD"/fuzz/seeds/macroprocessor
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/build-fuzz}
mkdir -p "$out" "$out/corpus"
core=$root/src/core
${CXX:-clang++} -std=c++17 -g -O1 -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$core" \
    "$here/fuzz_macroprocessor.cpp" \
    "$core/macroProcessor.cpp" "$core/datablock.cpp" "$core/strfuncs.cpp" \
    -o "$out/fuzz_macroprocessor"
echo "built $out/fuzz_macroprocessor"
