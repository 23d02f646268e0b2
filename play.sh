#!/usr/bin/env bash
# Installs what is needed, builds, generates the show's content and plays it.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
if [ ! -x build/Libs/Testing/vostrel ]; then
  echo "The show's shell is not built yet: the engine's foundation builds and tests (./test.sh)." >&2
  exit 1
fi
