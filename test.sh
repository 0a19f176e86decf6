#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
VGL_BUILD_BENCH="${VGL_BUILD_BENCH:-ON}"
if [ "$VGL_BUILD_BENCH" = "OFF" ]; then
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
else
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
fi
configure_and_build -DVGL_BUILD_TESTS=ON -DVGL_BUILD_BENCH="$VGL_BUILD_BENCH"
cd "$BUILD_DIR"
ctest -j"$(nproc)" --output-on-failure "$@"
