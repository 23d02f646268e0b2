#!/usr/bin/env bash
# Installs the Debian packages the build, the show and the tests need.
# Idempotent: does nothing when everything is already installed.
set -euo pipefail

packages=(
  # build and run
  cmake ninja-build g++ pkg-config
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0 libegl1
  libpng-dev libjpeg-dev libfreetype-dev libexpat1-dev libagg-dev
  libmpg123-dev libvorbis-dev fonts-dejavu-core ffmpeg python3
  # tests, references and fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  glslang-tools libglm-dev libeigen3-dev libcgal-dev libgmp-dev qhull-bin
  assimp-utils libassimp-dev librsvg2-bin graphviz imagemagick
  # the show on a real X server
  xvfb xauth xdotool
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
