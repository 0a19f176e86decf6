#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
configure_and_build -DVGL_BUILD_TESTS=ON
cd "$BUILD_DIR"
ctest -j"$(nproc)" --output-on-failure "$@"
