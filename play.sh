#!/usr/bin/env bash
# Installs what is needed, builds, generates the show's content and plays it.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

# The show reads its files from its working directory: the generator writes
# them all (properties, calibration, title, font, music, the parts' data).
content=build/content
build/Tools/Content/vostrel-content "$content"
cd "$content"
exec ../Libs/Testing/vostrel "$@"
