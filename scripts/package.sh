#!/usr/bin/env bash
# Builds the program for release in build-release/ (without tests) and its Debian package, and
# leaves the package at the top of the checkout: vellicard_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVC_BUILD_TESTS=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
cmake --build build-release -j"$(nproc)"
rm -rf build-release/package
cpack --config build-release/CPackConfig.cmake -G DEB -B build-release/package >/dev/null
deb=$(find build-release/package -maxdepth 1 -name 'vellicard_*.deb' -print -quit)
[ -n "$deb" ] || { echo "cpack made no package" >&2; exit 1; }
cp "$deb" .
echo "$PWD/$(basename "$deb")"
