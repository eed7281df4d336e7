#!/bin/sh
# The main job: builds everything and has the scan server scan the bundled
# sample plugins under Wine, printing what it answers.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
build="$root/build"
"$build/wine-server.sh" start
trap '"$build/wine-server.sh" stop' EXIT
cd "$build/bin"
"$build/wine-run.sh" test-host.exe --dump . ScanServer-x64.exe \
    'plugins\synth.dll' 'plugins\effect.dll' 'plugins\shell.dll' 'plugins\missing.dll'
