#!/bin/sh
# Installs what is missing, builds, and runs every test headless.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh poppler-utils # the site record's tests read its PDF back
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
