#!/usr/bin/env bash
# Installs what is missing, then configures and builds into BUILD_DIR (default: build).
# Extra arguments go to cmake's configure step, e.g. -DTESSALY_SANITIZE=thread.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DTESSALY_WERROR=ON "$@"
cmake --build "$BUILD_DIR"
