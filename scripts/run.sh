#!/usr/bin/env bash
# Builds Tessaly and starts it. Without a display it runs inside a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build} bash scripts/build.sh -DTESSALY_BUILD_TESTS=OFF
BUILD_DIR=${BUILD_DIR:-build}
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$BUILD_DIR/tessaly" "$@"
fi
exec "$BUILD_DIR/tessaly" "$@"
