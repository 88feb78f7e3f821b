#!/usr/bin/env bash
# Rebuilds run/media/textures/font.png with the makefont tool and DejaVu Sans
# (Debian package fonts-dejavu-core, installed by tools/setup.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${TMPDIR:-/tmp}/velk-makefont"
cmake -S "$root/tools/makefont" -B "$build" >/dev/null
cmake --build "$build" >/dev/null
mkdir -p "$root/run/media/textures"
"$build/makefont" /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$root/run/media/textures/font.png" 64
