#!/bin/sh
# Installs what is missing, builds, and starts the program.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh
cmake --preset linux
cmake --build --preset linux
exec build/app/brevane
