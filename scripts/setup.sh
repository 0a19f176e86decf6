#!/usr/bin/env bash
# Shared by run.sh and test.sh: install missing Debian packages, configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD_TYPE="${BUILD_TYPE:-Release}"

# What the program's build needs (./run.sh installs these only).
BUILD_PACKAGES=(build-essential cmake ninja-build ccache pkg-config
    zlib1g-dev libjpeg-dev libpng-dev libfreetype-dev libharfbuzz-dev libfribidi-dev libcairo2-dev
    libxml2-dev libxslt1-dev libmicrohttpd-dev fonts-liberation)
# What only the tests and benchmarks need (./test.sh adds these): the test and benchmark
# frameworks, the barcode decoder the tests link, and the independent tools they check outputs with.
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev libssl-dev
    libxml2-utils qpdf poppler-utils imagemagick pngcheck giflib-tools python3-fonttools python3 python3-zeep
    fonts-dejavu-core nodejs curl
    printemf emf2svg libwmf-bin librsvg2-bin fonts-urw-base35)
# The newer barcode reader runs under node from the npm registry; a node that brings its own npm
# needs no separate package.
command -v npm >/dev/null 2>&1 || TEST_PACKAGES+=(npm)
# What only the benchmarks need (./test.sh adds these unless VGL_BUILD_BENCH=OFF): the peer
# barcode library the encoder is timed against, and the HTTP load generator of
# bench/service_load.sh.
BENCH_PACKAGES=(libzint-dev wrk)

install_missing() {
    local missing=()
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build [cmake options...]: configures $BUILD_DIR with the options and builds it.
configure_and_build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}
