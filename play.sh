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

# The show reads its files from its working directory. Until the content
# generator writes them, a minimal property file opens the window.
content=build/content
mkdir -p "$content"
if [ ! -f "$content/demo.props" ]; then
  cat > "$content/demo.props" <<'PROPS'
# type name value
S demo.window.title "Vostrel"
I demo.window.width 640
I demo.window.height 480
I demo.window.fullscreen 0
I demo.window.vSync 1
PROPS
fi
cd "$content"
exec ../Libs/Testing/vostrel "$@"
