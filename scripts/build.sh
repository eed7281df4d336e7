#!/bin/sh
# Configures and builds everything (server, host tools, test plugins, tests)
# into build/ with the mingw-w64 cross compiler.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/ensure-packages.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
