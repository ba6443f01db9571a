#!/bin/sh
# Runs a Windows program of the build under Wine: the windows preset's
# CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs each test .exe through it, in the prefix the
# tests' fixture made (WINEPREFIX, set by tests/CMakeLists.txt) and on its display when there
# is no other. Wine's own messages stay out of the output unless WINEDEBUG asks for them.
set -eu
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: WINEPREFIX is not set (ctest sets it to the build's wine-prefix folder)" >&2
  exit 2
fi
if [ -z "${DISPLAY:-}" ] && [ -s "$WINEPREFIX/.display" ]; then
  DISPLAY=:$(cat "$WINEPREFIX/.display")
  export DISPLAY
fi
export WINEDEBUG="${WINEDEBUG:--all}"
# QtTest's own output does not reach a pipe under Wine: with ORVELANE_QTEST_OUTPUT set, the
# test writes it to that file (as Wine names it on drive Z:), shown here once it ends.
if [ -n "${ORVELANE_QTEST_OUTPUT:-}" ]; then
  rm -f "$ORVELANE_QTEST_OUTPUT"
  status=0
  wine "$@" -o "Z:$(printf '%s' "$ORVELANE_QTEST_OUTPUT" | tr / '\\'),txt" || status=$?
  cat "$ORVELANE_QTEST_OUTPUT" 2>/dev/null || true
  exit "$status"
fi
exec wine "$@"
