#!/usr/bin/env bash
# Builds Tessaly and makes its Debian package, BUILD_DIR/tessaly_VERSION_ARCH.deb
# (BUILD_DIR defaults to build). Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
BUILD_DIR="$BUILD_DIR" bash scripts/build.sh -DTESSALY_BUILD_TESTS=OFF "$@"
cd "$BUILD_DIR"
cpack -G DEB
ls -1 "$PWD"/tessaly_*.deb
