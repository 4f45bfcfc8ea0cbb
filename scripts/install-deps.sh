#!/usr/bin/env bash
# Installs the Debian packages the build needs; runs apt-get update only when
# something is missing.
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
          libboost-dev libboost-filesystem-dev libboost-thread-dev locales libpng-dev pkg-config
          pybind11-dev python3-dev python3-numpy python3-pytest libjpeg62-turbo-dev
          python3-torch python3-sklearn python3-h5py python3-pil python3-mypy python3-venv python3-setuptools
          python3-pip python3-wheel lintian dpkg-dev fakeroot)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
