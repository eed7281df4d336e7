#!/bin/sh
# Builds everything (the tests, and whatever the main job left unbuilt) and
# runs the whole test suite under Wine.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j"$(nproc)"
