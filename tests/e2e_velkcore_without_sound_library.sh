#!/usr/bin/env bash
# velkRun links velkcore without the sound library: nothing in velkcore may need it.
set -euo pipefail
build="$1"
lib="$build/libvelkcore.a"
[ -f "$lib" ] || { echo "missing $lib"; exit 1; }
bad="$(nm -C --undefined-only "$lib" | grep -E 'sf::(Sound|Music|InputSoundFile|OutputSoundFile|Listener|SoundRecorder)| U alc?[A-Z]' || true)"
if [ -n "$bad" ]; then
  echo "velkcore refers to sound library symbols:"
  echo "$bad" | sort -u
  exit 1
fi
if [ -x "$build/velkRun" ]; then
  if ldd "$build/velkRun" | grep -E 'sfml-audio|openal'; then
    echo "velkRun links the sound library"
    exit 1
  fi
fi
echo "velkcore is free of sound library symbols"
