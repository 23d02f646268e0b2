#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   ./test.sh             plain build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   ./test.sh --fuzz      libFuzzer targets (clang) in build-fuzz/, a fixed number of runs each,
#                         and the generated content's digests
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh

mode="${1:-plain}"
jobs="$(nproc)"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

case "$mode" in
  plain|"")
    build=build
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ;;
  --sanitize)
    build=build-asan
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOSTREL_SANITIZE=ON -DVOSTREL_BENCH=OFF
    ;;
  --fuzz)
    build=build-fuzz
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVOSTREL_FUZZ=ON -DVOSTREL_SANITIZE=ON -DVOSTREL_BENCH=OFF
    cmake --build "$build" -j "$jobs"
    # With the fuzzers, the digests of the generated content: this build is clang's.
    ctest --test-dir "$build" -R '^(fuzz|ContentDigests)\.' --output-on-failure -j "$jobs"
    exit 0
    ;;
  *)
    echo "usage: $0 [--sanitize|--fuzz]" >&2
    exit 2
    ;;
esac

cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
