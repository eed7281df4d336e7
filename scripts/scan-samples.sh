#!/bin/sh
# The main job: builds the server, scan-plugins and the test plugins (nothing
# else, so a fresh machine gets to the scan soon) and scans a sample of the
# test plugins with scan-plugins under Wine, servers side by side: plain VST 2
# plugins, shells, CLAP files and VST3 modules come out with a record per
# plugin, the plugins that crash the server are confirmed alone in a fresh
# server and recorded with their dumps while the scan goes on, a 32-bit file is
# recorded as unsupported, and the plugins that hang run into the short time
# limit. Progress and the summary go to the terminal, the records to
# build/scan-results.json. (The test suite scans every test plugin.)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" ScanServer-x64 scan-plugins test-plugins >/dev/null
build="$root/build"
"$build/wine-server.sh" start
trap '"$build/wine-server.sh" stop' EXIT
rm -rf "$build/scan-dumps" "$build/samples"
mkdir -p "$build/samples"
for sample in synth.dll effect.dll shell.dll shell-synth.dll special-texts.dll \
    version-file.dll no-entry.dll crash-dispatcher.dll abort-dispatcher.dll hang.dll \
    several.clap odd-texts.clap init-false.clap crash-init.clap \
    delay.vst3 instruments.vst3 factory-only.vst3 no-x64-module.vst3; do
    cp -R "$build/bin/plugins/$sample" "$build/samples/"
done
# A 32-bit file: a copy of an x64 plugin with the machine of its PE header set to x86.
cp "$build/bin/plugins/fast.dll" "$build/samples/x86.dll"
offset=$(od -An -tu4 -j60 -N4 "$build/samples/x86.dll" | tr -d ' ')
printf '\114\001' | dd of="$build/samples/x86.dll" bs=1 seek=$((offset + 4)) conv=notrunc 2>/dev/null
cd "$build/bin"
"$build/wine-run.sh" scan-plugins.exe --timeout 5 \
    --out '..\scan-results.json' --dumps '..\scan-dumps' '..\samples'
echo "The records are in $build/scan-results.json"
echo "The crash dumps are in $build/scan-dumps"
