#!/usr/bin/env bash
# Builds the fuzz targets as libFuzzer binaries with clang-14 in build-fuzz/ and runs one.
#   fuzz/run.sh <name> [seconds] [extra libFuzzer options...]
# <name> is a target without "_fuzz" (report_xml, png, ...). New inputs go to
# build-fuzz/corpus/<name>/ (the committed seeds are read, never written); a crash is saved
# as build-fuzz/crash-* and reproduced with: build-fuzz/fuzz/<name>_fuzz <file>.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build-fuzz"
name="${1:?usage: fuzz/run.sh <name> [seconds] [libFuzzer options...]}"
seconds="${2:-60}"
shift $(($# >= 2 ? 2 : 1))

if [ ! -f "$BUILD/build.ninja" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVGL_LIBFUZZER=ON -DVGL_BUILD_BENCH=OFF >/dev/null
fi
ninja -C "$BUILD" "${name}_fuzz"
mkdir -p "$BUILD/corpus/$name"
cd "$BUILD"
exec "$BUILD/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    "$@" "$BUILD/corpus/$name" "$ROOT/fuzz/corpus/$name"
