#!/usr/bin/env bash
# Installs every Debian package the engine needs to build, run and test.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail
PKGS=(
  build-essential g++ cmake pkg-config make
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  liblua5.1-0-dev lua5.1 lua-lpeg lua-lpeg-dev
  libsfml-dev libgl-dev libglx-dev libx11-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 mesa-utils
  libopenal1 libopenal-data
  xvfb xauth x11-utils xdotool python3
  sox libsox-fmt-all
  clang libclang-rt-14-dev
  fonts-dejavu-core libfreetype-dev
  libstb-dev libtinyobjloader-dev
  luarocks
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
