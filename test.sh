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
# The newer Aztec reader the picture tests run under node, from the npm registry.
if ! npm install --silent --no-audit --no-fund --prefix "$BUILD_DIR/node_tools" zxing-wasm@3.1.8 >/dev/null 2>&1; then
    echo "npm cannot install zxing-wasm (registry unreachable?): the Aztec picture test with it is skipped"
fi
cd "$BUILD_DIR"
ctest -j"$(nproc)" --output-on-failure "$@"
