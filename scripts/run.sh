#!/usr/bin/env bash
# Builds Orvelane and starts it in run/, a ready working directory holding the two
# companion files (a default ORVELANE.DAT with every switch off, and ORVELANE.TXT) and, until
# you put a real one there, a stand-in for NEO R.A.G.E.: a small DOS program that DOSBox runs
# and that shows the command line it received. Play > NEO-RAGE > Play The Game, then choose
# DEMO/DEMO.038, to see the whole road.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# A user's build: the program alone, and a newer compiler's warnings do not stop it.
cmake --preset program >/dev/null
cmake --build --preset program

mkdir -p run
[ -e run/ORVELANE.DAT ] || cp data/ORVELANE.DAT run/
[ -e run/ORVELANE.TXT ] || cp data/ORVELANE.TXT run/
if ! ls run | grep -ix 'neorage.exe' >/dev/null; then
  nasm -f bin -i scripts/stand-in/ -o run/neorage.exe scripts/stand-in/neorage.asm
  mkdir -p run/DEMO && : > run/DEMO/DEMO.038
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Orvelane is built, but there is no display to show it on (DISPLAY is not set)." >&2
  echo "Run this from a desktop session, or on a virtual display:" >&2
  echo "  scripts/virtual-display.sh scripts/run.sh" >&2
  exit 1
fi

cd run
exec ../build/program/src/app/orvelane
