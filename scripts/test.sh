#!/bin/sh
# Installs what the build needs, builds the kit and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
