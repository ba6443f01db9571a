#!/usr/bin/env bash
# Builds Orvelane with warnings as errors and runs every test: core, platform, widgets
# (offscreen), end-to-end (the real program under Xvfb) and the soak-and-fault suite; then
# the tests that feed the program hostile input again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets for a fixed number of runs under both.
set -euo pipefail
# The end-to-end tests fail rather than skip where Xvfb or xdotool is missing.
export ORVELANE_E2E_REQUIRED=1
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --workflow --preset release

# The sanitizer build leaves out the end-to-end tests and the long churn runs: they would
# take many minutes there, and the tests below reach the same code with the worst input.
sanitized=(tst_settingsfile tst_gamelaunch tst_programstart tst_hintandstartup tst_programstarter tst_systemhost
  tst_mainwindow tst_configwindow tst_playwindows tst_hostileinput)
cmake --preset asan
cmake --build --preset asan --target "${sanitized[@]}"
ctest --preset asan -R "^($(IFS='|'; echo "${sanitized[*]}"))\$"
if [ -x tests/fuzz/run.sh ] || [ -f tests/fuzz/run.sh ]; then
  bash tests/fuzz/run.sh
fi
bash scripts/check-package.sh
