#!/bin/sh
# Runs COMMAND on a virtual X display of its own (one 1024 x 768 screen at 24 bits, on the
# first free display number) and stops the display when COMMAND ends. COMMAND finds the
# display in DISPLAY, and ORVELANE_VIRTUAL_DISPLAY set, so a script can tell it is already
# running on one.
# Usage: scripts/virtual-display.sh COMMAND [ARGUMENT...]
set -eu
command -v xvfb-run >/dev/null || { echo "Needs xvfb-run and xauth: run scripts/install-deps.sh" >&2; exit 1; }
export ORVELANE_VIRTUAL_DISPLAY=1
exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$@"
