#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) in
# build-fuzz and runs every fuzz/*Fuzz target for SECONDS seconds (default
# 20) on its own corpus: build-fuzz/corpus/NAME, filled from fuzz/corpus/NAME
# and from seeds the target writes itself when TABULON_FUZZ_SEED_DIR is set.
# Further arguments go to every target (e.g. -jobs=2). The targets run in
# build-fuzz, where -jobs leaves its fuzz-N.log files (relative paths in the
# options are taken from there too). Exits non-zero when a target finds a
# crash, a leak or a hang; the input is kept in build-fuzz/artifacts.
#
#   scripts/fuzz.sh [SECONDS] [libFuzzer options...]
set -eu
seconds=${1:-20}
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTABULON_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
# libFuzzer writes the -jobs logs into the current folder: keep them out of
# the source tree.
cd "$build"

status=0
found=0
for src in "$root"/fuzz/*Fuzz.cpp; do
    [ -e "$src" ] || continue
    found=1
    name=$(basename "$src" .cpp)
    short=$(printf '%s' "${name%Fuzz}" | tr 'A-Z' 'a-z')
    corpus="$build/corpus/$short"
    mkdir -p "$corpus" "$build/artifacts"
    if [ -d "$root/fuzz/corpus/$short" ]; then
        cp -n "$root/fuzz/corpus/$short"/* "$corpus"/ 2>/dev/null || true
    fi
    echo "== $name for $seconds s on $corpus"
    if ! TABULON_FUZZ_SEED_DIR="$corpus" "$build/fuzz/$name" -max_total_time="$seconds" \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "$@" "$corpus"; then
        echo "!! $name failed; see $build/artifacts" >&2
        status=1
    fi
done
[ $found -eq 1 ] || { echo "no fuzz targets in $root/fuzz" >&2; exit 1; }
exit $status
