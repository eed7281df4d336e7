#!/bin/sh
# Builds the benchmark and what it runs (the server, the test plugins,
# scan-plugins), then runs it under Wine and prints its figures. Every figure
# is taken without a display; first the server's start-up is taken with a
# display, on a private Xvfb server, when Xvfb can be started.
#
# Each run restarts the Wine server of the build's prefix: run the benchmark on
# a quiet machine and not while tests run in the same build tree. Arguments go
# to the benchmark (scan-benchmark --help lists them); BUILD_DIR picks another
# build tree.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

BUILD_DIR=$build "$root/scripts/build.sh" scan-benchmark >/dev/null

xvfb_pid=
display=
finish() {
    "$build/wine-server.sh" stop
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap finish EXIT
trap 'exit 130' INT TERM

# A display number nobody holds.
number=90
while [ "$number" -lt 200 ] && { [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; }; do
    number=$((number + 1))
done
if command -v Xvfb >/dev/null 2>&1 && [ "$number" -lt 200 ]; then
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    tries=0
    while [ ! -e "/tmp/.X11-unix/X$number" ] && [ "$tries" -lt 50 ] && kill -0 "$xvfb_pid" 2>/dev/null; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if [ -e "/tmp/.X11-unix/X$number" ]; then
        display=":$number"
    else
        echo "run-benchmark: Xvfb did not come up; the start-up with a display is skipped" >&2
    fi
fi

benchmark() {
    "$build/wine-server.sh" stop
    "$build/wine-server.sh" start
    "$build/wine-run.sh" "$build/bin/scan-benchmark.exe" "$@"
}
# Wine's desktop process takes the display of its session for every program
# in it: the start-up with a display gets a session of its own.
if [ -n "$display" ]; then
    export DISPLAY="$display"
    benchmark "$@" --figures 1 --display "$display"
    echo
fi
unset DISPLAY
benchmark "$@"
