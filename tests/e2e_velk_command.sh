#!/usr/bin/env bash
# ./velk run without a display starts its own virtual X server and sends sound to the null
# device, unless the user chose a driver; with a display both are left alone. The command
# runs from a copy whose set-up, build and programs are stand-ins that record what they got.
#   bash e2e_velk_command.sh <build dir> <source dir>
set -euo pipefail
src="$(cd "$2" && pwd)"
. "$src/tests/support/e2e_lib.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}"/velk-e2e-command-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/copy/tools" "$work/copy/run" "$work/copy/build" "$work/bin"
cp "$src/velk" "$work/copy/velk"
printf '#!/bin/sh\n' >"$work/copy/tools/setup.sh"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/cmake"
printf '#!/bin/sh\necho "xvfb-run ALSOFT_DRIVERS=${ALSOFT_DRIVERS-unset}"\n' >"$work/bin/xvfb-run"
printf '#!/bin/sh\necho "engine ALSOFT_DRIVERS=${ALSOFT_DRIVERS-unset}"\n' >"$work/copy/build/velkEngine"
chmod +x "$work/bin/"* "$work/copy/build/velkEngine"

velk_run() { env -u DISPLAY -u ALSOFT_DRIVERS PATH="$work/bin:$PATH" "$@" "$work/copy/velk" run 2>&1; }
expect "no display: under xvfb-run with the null sound driver" "xvfb-run ALSOFT_DRIVERS=null" "$(velk_run)"
expect "no display: the user's driver kept" "xvfb-run ALSOFT_DRIVERS=wave" "$(velk_run ALSOFT_DRIVERS=wave)"
expect "a display: run as it is" "engine ALSOFT_DRIVERS=unset" "$(velk_run DISPLAY=:99)"
[ "$failures" -eq 0 ]
