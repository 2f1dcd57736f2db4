#!/usr/bin/env bash
# Builds everything with tests and runs every test; exits non-zero on any failure.
# Tests that need an X server get one from xvfb-run; the others run offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-test}
BUILD_DIR="$BUILD_DIR" bash scripts/build.sh -DTESSALY_BUILD_TESTS=ON "$@"
export QTWEBENGINE_DISABLE_SANDBOX=1
exec xvfb-run -a -s "-screen 0 1280x800x24" ctest --test-dir "$BUILD_DIR" --output-on-failure ${CTEST_ARGS:-}
