#!/usr/bin/env bash
# The Windows build: cross-built with MinGW-w64 against the Windows Qt in
# /opt/qt-6.4.2-mingw-w64, its tests run under Wine in a fresh prefix, the zip made; then the
# zip is unpacked as a user unpacks it and its own orvelane.exe goes through the end-to-end
# rows again. Without the Windows Qt it says plainly that the Windows part did not run, and
# fails where CI=true.
set -euo pipefail
cd "$(dirname "$0")/.."

qt=/opt/qt-6.4.2-mingw-w64
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  echo "THE WINDOWS PART DID NOT RUN: there is no Windows Qt in $qt (scripts/install-deps.sh" \
       "unpacks it from ../shared/windows-qt/ where that is present)." >&2
  [ "${CI:-}" = true ] && exit 1
  exit 0
fi

cmake --workflow --preset windows

zip=$(ls build/windows/packages/orvelane-*-windows-x86_64.zip)
unpacked=build/windows/unpacked
rm -rf "$unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "../../../$zip")
for file in orvelane.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Svg.dll platforms/qwindows.dll \
            libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll README.txt \
            defaults/ORVELANE.DAT defaults/ORVELANE.TXT; do
  [ -f "$unpacked/$file" ] || { echo "$zip lacks $file" >&2; exit 1; }
done
# Unpacking must never overwrite a user's settings: the companion files stay in defaults/.
for file in ORVELANE.DAT ORVELANE.TXT; do
  [ ! -e "$unpacked/$file" ] || { echo "$zip holds $file at its top" >&2; exit 1; }
done
ORVELANE_WINDOWS_PROGRAM=$PWD/$unpacked/orvelane.exe ctest --preset windows -R '^tst_windowsstart$'
