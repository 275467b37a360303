#!/bin/sh
# Installs what the build needs, builds the kit and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd build
# Many tests spend their time waiting on the programs they start: twice as many tests as cores
# keep the cores busy.
ctest --output-on-failure -j"$(($(nproc) * 2))" --timeout 600
