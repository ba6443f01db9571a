#!/usr/bin/env bash
# Builds Orvelane with warnings as errors and runs every test: core, platform, widgets
# (offscreen) and end-to-end (the real program under Xvfb), then the fuzz targets for a
# fixed number of runs under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
ctest --preset release
if [ -x tests/fuzz/run.sh ] || [ -f tests/fuzz/run.sh ]; then
  bash tests/fuzz/run.sh
fi
bash scripts/check-package.sh
