#!/bin/sh
# Makes sure the Debian packages the build and the tests need are present:
# installs what is missing when run as root, else says what is missing.
set -e

missing=""
need() {  # need PACKAGE PATH
    [ -e "$2" ] || missing="$missing $1"
}
need cmake /usr/bin/cmake
need g++-mingw-w64-x86-64-posix /usr/bin/x86_64-w64-mingw32-g++-posix
need gcc-mingw-w64-x86-64-posix /usr/bin/x86_64-w64-mingw32-gcc-posix
need binutils-mingw-w64-x86-64 /usr/bin/x86_64-w64-mingw32-windres
need wine64 /usr/lib/wine/wine64
need googletest /usr/src/googletest/CMakeLists.txt
need nlohmann-json3-dev /usr/include/nlohmann/json.hpp
need xvfb /usr/bin/Xvfb
need xauth /usr/bin/xauth
need imagemagick /usr/bin/convert
need x11-apps /usr/bin/xwd
need xdotool /usr/bin/xdotool
need clang-format /usr/bin/clang-format

[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "Missing Debian packages:$missing" >&2
    echo "Install them as root: apt-get update && apt-get install -y$missing" >&2
    exit 1
fi
echo "Installing:$missing" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >&2
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing >&2
