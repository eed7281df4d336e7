#!/bin/sh
# Configures the build tree with the mingw-w64 cross compiler and builds the
# targets named as arguments (with what they need), or everything without any.
# BUILD_DIR picks another build tree than build/.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/ensure-packages.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
if [ "$#" -eq 0 ]; then
    cmake --build "$build" -j"$(nproc)"
else
    cmake --build "$build" -j"$(nproc)" --target "$@"
fi
