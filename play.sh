#!/usr/bin/env bash
# Installs what is needed, builds, generates the show's content and plays it.
#   ./play.sh [--end seconds] [program arguments: -nosound -fullscreen -window]
# --end stops the show at that show second ("demo.endTime") instead of 219.
set -euo pipefail
cd "$(dirname "$0")"
end=""
if [ "${1:-}" = "--end" ]; then
  [ $# -ge 2 ] || { echo "usage: $0 [--end seconds] [-nosound] [-fullscreen|-window]" >&2; exit 2; }
  end=$2
  shift 2
fi
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

# The show reads its files from its working directory: the generator writes
# them all (properties, calibration, title, font, music, the parts' data).
content=build/content
build/Tools/Content/vostrel-content "$content"
# A later property line replaces an earlier one.
[ -z "$end" ] || printf 'R demo.endTime %s\n' "$end" >> "$content/demo.props"
cd "$content"
exec ../Libs/Testing/vostrel "$@"
