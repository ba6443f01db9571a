#!/usr/bin/env bash
# Builds Orvelane and starts it in run/, a ready working directory holding the two
# companion files (a default ORVELANE.DAT with every switch off, and ORVELANE.TXT).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target orvelane

mkdir -p run
[ -e run/ORVELANE.DAT ] || cp data/ORVELANE.DAT run/
[ -e run/ORVELANE.TXT ] || cp data/ORVELANE.TXT run/

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Orvelane is built, but there is no display to show it on (DISPLAY is not set)." >&2
  echo "Run this from a desktop session, or start a virtual one first, e.g.:" >&2
  echo "  Xvfb :1 & DISPLAY=:1 scripts/run.sh" >&2
  exit 1
fi

cd run
exec ../build/release/src/app/orvelane
