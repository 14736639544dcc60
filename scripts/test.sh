#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, and runs every test:
# unit, window (offscreen), media (real GStreamer), menu and end to end (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci -j"$(nproc)"
ctest --preset ci
