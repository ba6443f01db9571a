#!/usr/bin/env bash
# Builds Orvelane with warnings as errors and runs every test: core, platform, widgets
# (offscreen), end-to-end (the real program under Xvfb and Weston, DOSBox and Wine), the
# soak-and-fault suite at full counts and the packaging checks; then the tests labelled
# "sanitize" again under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz
# targets for a fixed number of runs under both; last, the packages, checked without
# installing them (CI=true installs and removes the .deb); and the Windows build, its tests
# under Wine and its zip (scripts/test-windows.sh).
# For the quick loop while editing: cmake --workflow --preset default
set -euo pipefail
# The end-to-end tests fail rather than skip where Xvfb, Weston or xdotool is missing.
export ORVELANE_E2E_REQUIRED=1
# The soak suite's counts as CI runs them.
export ORVELANE_SOAK_PERCENT=${ORVELANE_SOAK_PERCENT:-100}
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --workflow --preset all
# The sanitizer build leaves out the end-to-end tests and the long churn runs: they would
# take many minutes there, and the tests labelled "sanitize" reach the same code with the
# worst input.
cmake --workflow --preset sanitize
bash tests/fuzz/run.sh
bash scripts/check-package.sh
bash scripts/test-windows.sh
