#!/usr/bin/env bash
# Installs what is needed, then runs every check (scripts/checks.sh): format and
# shell lint, the build with warnings as errors, every test -- unit, window
# (offscreen), media (real GStreamer), menu, skin drift and end to end (Xvfb) --
# the unit and media tests again under ASan+UBSan, and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
exec bash scripts/checks.sh
