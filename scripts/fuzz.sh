#!/bin/sh
# Builds every parser of untrusted bytes natively as a libFuzzer target with
# AddressSanitizer and UndefinedBehaviorSanitizer (clang, in build-fuzz/) and
# runs each for SECONDS (default 60) on its seeds in fuzz/corpus/TARGET. What a
# run adds to a corpus stays in build-fuzz/; an input that fails a target is
# kept as build-fuzz/findings/TARGET-*, to be fixed and put into the seeds.
# Fails when any target fails. FUZZ_BUILD_DIR picks another build folder.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}

missing=""
need() {  # need PACKAGE PATH (a pattern may stand for the version)
    # shellcheck disable=SC2086
    ls $2 >/dev/null 2>&1 || missing="$missing $1"
}
need cmake /usr/bin/cmake
need clang /usr/bin/clang++
need libclang-rt-14-dev /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a
need nlohmann-json3-dev /usr/include/nlohmann/json.hpp
if [ -n "$missing" ]; then
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
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)"

mkdir -p "$build/findings"
failed=""
for seeds in "$root"/fuzz/corpus/*/; do
    target=$(basename "$seeds")
    mkdir -p "$build/corpus/$target"
    log="$build/$target.log"
    status=ok
    # The first folder takes what the run finds; the seeds are only read.
    "$build/fuzz-$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$build/corpus/$target" "$seeds" \
        >"$log" 2>&1 || status=FAILED
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${seconds} s, ${runs:-?} runs, $status"
    if [ "$status" != ok ]; then
        failed="$failed $target"
        grep -m 3 -E "ERROR|runtime error|SUMMARY" "$log" >&2 || true
    fi
done
if [ -n "$failed" ]; then
    echo "Failed:$failed (logs in $build, inputs in $build/findings)" >&2
    exit 1
fi
