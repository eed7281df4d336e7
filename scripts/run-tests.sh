#!/bin/sh
# Builds everything and runs the whole test suite under Wine.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j"$(nproc)"
