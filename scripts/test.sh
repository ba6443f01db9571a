#!/usr/bin/env bash
# Builds Orvelane with warnings as errors and runs every test: core, platform, widgets
# (offscreen), end-to-end (the real program under Xvfb) and the soak-and-fault suite; then
# the tests that feed the program hostile input again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets for a fixed number of runs under both;
# last, the packages, checked without installing them (CI=true installs and removes the .deb).
set -euo pipefail
# The end-to-end tests fail rather than skip where Xvfb or xdotool is missing.
export ORVELANE_E2E_REQUIRED=1
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --workflow --preset release

# The sanitizer build leaves out the end-to-end tests and the long churn runs: they would
# take many minutes there, and the tests labelled "sanitize" reach the same code with the
# worst input.
cmake --preset asan
cmake --build --preset asan --target orvelane_sanitize_tests
ctest --preset asan -L '^sanitize$'
if [ -x tests/fuzz/run.sh ] || [ -f tests/fuzz/run.sh ]; then
  bash tests/fuzz/run.sh
fi
bash scripts/check-package.sh
