#!/usr/bin/env bash
# Installs what is missing, builds, and starts the label service.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing "${BUILD_PACKAGES[@]}"
# The program alone: no tests, fuzz replays or benchmarks, so no test-only package is needed.
configure_and_build -DVGL_BUILD_TESTS=OFF
SERVICE="$BUILD_DIR/service/geolabel_service"
if [ ! -x "$SERVICE" ]; then
    echo "run.sh: the service is not built yet" >&2
    exit 1
fi
exec "$SERVICE" -standalone "$@"
