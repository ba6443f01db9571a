#!/usr/bin/env bash
# The Windows build: cross-built with MinGW-w64 against the Windows Qt in
# /opt/qt-6.4.2-mingw-w64, its tests run under Wine in a fresh prefix, the zip and the
# installer made; then the zip is unpacked as a user unpacks it and its own orvelane.exe goes
# through the end-to-end rows again, and the installer installs, starts, installs again and
# uninstalls in a prefix of its own. Without the Windows Qt it says plainly that the Windows
# part did not run, and fails where CI=true.
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
ORVELANE_WINDOWS_PROGRAM=$PWD/$unpacked/orvelane.exe ctest --preset windows-start

# The installer, silently as a script runs it, into a fresh prefix with an emulator folder
# named with a blank.
export WINEPREFIX=$PWD/build/windows/installer-prefix
sh scripts/wine-prefix.sh start "$WINEPREFIX"
trap 'sh scripts/wine-prefix.sh stop "$WINEPREFIX"' EXIT
fail() { echo "installer: $*" >&2; exit 1; }
setup=$(ls build/windows/packages/orvelane-*-windows-x86_64-setup.exe)
emulators="$WINEPREFIX/drive_c/NEO GEO"
mkdir -p "$emulators"
printf 'MZ' >"$emulators/neorage.exe"
cp "$setup" "$WINEPREFIX/drive_c/setup.exe"
# Typed as in cmd: the folder with its blank in quotes.
printf '"C:\\setup.exe" /S /FOLDER="C:\\NEO GEO"\r\nexit /b %%errorlevel%%\r\n' >"$WINEPREFIX/drive_c/install.bat"
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public)
program="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Orvelane"
# Without an emulator folder a silent install installs nothing and says so in its status.
printf '"C:\\setup.exe" /S\r\nexit /b %%errorlevel%%\r\n' >"$WINEPREFIX/drive_c/no-folder.bat"
status=0
scripts/wine-run.sh cmd /c 'C:\no-folder.bat' >/dev/null || status=$?
[ "$status" = 2 ] && [ ! -e "$program" ] ||
  fail "a silent install without an emulator folder ended with status $status"
silent_install() { scripts/wine-run.sh cmd /c 'C:\install.bat' >/dev/null || fail "the silent install failed"; }
silent_install
shortcut="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Orvelane.lnk"
[ -f "$program/orvelane.exe" ] && [ -f "$program/uninstall.exe" ] || fail "no program in $program"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
cmp -s "$emulators/ORVELANE.DAT" data/ORVELANE.DAT && cmp -s "$emulators/ORVELANE.TXT" data/ORVELANE.TXT ||
  fail "the companion files are not in the emulator folder"
entry=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvelane' 2>/dev/null)
for value in DisplayName DisplayVersion Publisher DisplayIcon UninstallString QuietUninstallString EstimatedSize; do
  printf '%s' "$entry" | grep -q "^ *$value " || fail "the uninstall entry lacks $value"
done

# The shortcut starts Orvelane in the emulator folder: there it rewrites a settings file of
# another header (a switch on) with its own.
{ printf 'XXXXXXXXXXXXXXXXXXXX\0\0\1\0\0\0'; head -c 9 /dev/zero; } >"$emulators/ORVELANE.DAT"
scripts/wine-run.sh start /unix "$shortcut"
for _ in $(seq 100); do head -c 7 "$emulators/ORVELANE.DAT" 2>/dev/null | grep -q KELMOR && break; sleep 0.2; done
head -c 7 "$emulators/ORVELANE.DAT" | grep -q KELMOR || fail "the shortcut did not start Orvelane in the emulator folder"
scripts/wine-run.sh taskkill /f /im orvelane.exe >/dev/null 2>&1 || true

# Installing again keeps the user's settings.
printf 'the changed settings' >"$emulators/ORVELANE.DAT"
silent_install
[ "$(cat "$emulators/ORVELANE.DAT")" = "the changed settings" ] || fail "a second install replaced ORVELANE.DAT"

# The uninstaller takes what it laid out and leaves the emulator folder as it was.
before=$(cd "$emulators" && ls -lA --time-style=+ && cat ./*)
scripts/wine-run.sh "C:\\users\\$user\\AppData\\Local\\Programs\\Orvelane\\uninstall.exe" /S
wineserver -w
[ "$(cd "$emulators" && ls -lA --time-style=+ && cat ./*)" = "$before" ] || fail "the uninstall changed the emulator folder"
[ ! -e "$program" ] || fail "the uninstall left $program"
[ ! -e "$shortcut" ] || fail "the uninstall left the shortcut"
! wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvelane' >/dev/null 2>&1 ||
  fail "the uninstall left its entry"
echo "installer: a silent install, its shortcut, a second install and the uninstall behave as they should"
