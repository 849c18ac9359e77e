#!/bin/sh
# Installs what is missing, builds, and runs every test headless.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
