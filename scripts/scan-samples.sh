#!/bin/sh
# The main job: builds the server, scan-plugins and the test plugins (nothing
# else, so a fresh machine gets to the scan soon) and scans the test plugins
# with scan-plugins under Wine, servers side by side. The plugins that crash
# the server are recorded with their dumps while the scan goes on, shells, CLAP
# files and VST3 modules come out with a record per plugin, and the plugins that hang (and
# the shell that lists sub-plugins without end) run into the short time limit. Progress
# and the summary go to the terminal, the records to build/scan-results.json.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" ScanServer-x64 scan-plugins test-plugins >/dev/null
build="$root/build"
"$build/wine-server.sh" start
trap '"$build/wine-server.sh" stop' EXIT
rm -rf "$build/scan-dumps"
cd "$build/bin"
"$build/wine-run.sh" scan-plugins.exe --timeout 5 \
    --out '..\scan-results.json' --dumps '..\scan-dumps' plugins
echo "The records are in $build/scan-results.json"
echo "The crash dumps are in $build/scan-dumps"
