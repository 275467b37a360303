#!/bin/sh
# Builds the kit's Debian package, setupkit_VERSION_amd64.deb, in a Release build folder of its
# own (default ./build-package) and prints its path. Only the packaged programs are built.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" \
  --target setupc setup-archive setup setup-window setupkit_data setupkit_package_files
cd "$build"
cpack -G DEB >/dev/null
ls "$PWD"/setupkit_*_amd64.deb
