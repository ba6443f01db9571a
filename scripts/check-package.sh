#!/usr/bin/env bash
# Builds the Debian package and the portable archive from the release build and checks them
# without installing anything: what the .deb holds and asks for (dpkg-deb), and that its
# programs, unpacked into a scratch folder, show the main window on a virtual display in a
# fresh emulator folder prepared by orvelane-here. Only where CI=true, on a throwaway machine,
# is the .deb also installed with apt-get, checked the same way and removed again. Every wait
# is bounded; the release build is reused as it stands.
# Usage: scripts/check-package.sh [BUILD-DIR]   (default: the release preset, build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${ORVELANE_VIRTUAL_DISPLAY:-}" ]; then
    bash scripts/install-deps.sh
    # Everything below runs on a virtual display of its own.
    exec scripts/virtual-display.sh "$0" "$@"
fi

if [ $# -ge 1 ]; then
    build=$(cd "$1" && pwd)
    cmake --build "$build" -j2
else
    build=$PWD/build/release
    cmake --preset release >/dev/null
    cmake --build --preset release
fi
rm -f "$build"/packages/orvelane_*.deb "$build"/packages/orvelane-*.tar.gz
(cd "$build" && cpack -G "DEB;TGZ" >/dev/null)

debs=("$build"/packages/orvelane_*.deb)
archives=("$build"/packages/orvelane-*.tar.gz)
deb=${debs[0]}
archive=${archives[0]}
echo "check-package: built $deb and $archive"
title=" Orvelane   -   v $(dpkg-deb -f "$deb" Version)"

fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}

# --- what the packages hold ---
depends=$(dpkg-deb -f "$deb" Depends)
# Debian 13 renamed some Qt libraries with a "t64" suffix; a package built there names those.
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 qt6-qpa-plugins fonts-liberation; do
    [[ ", $depends," == *", $package"?(t64)[\ ,]* ]] || fail "the package does not depend on $package: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for package in dosbox wine; do
    [[ ", $recommends," == *", $package,"* ]] || fail "the package does not recommend $package: $recommends"
done
# Listed whole first: grep -q stops reading early, and pipefail would count dpkg-deb's
# broken pipe as a failure.
contents=$(dpkg-deb -c "$deb")
grep -q '/usr/share/man/man1/orvelane\.1' <<<"$contents" || fail "the package lacks the manual page"
listing=$(tar tzf "$archive")
for file in bin/orvelane bin/orvelane-here share/orvelane/ORVELANE.DAT share/orvelane/ORVELANE.TXT \
    share/applications/org.example.Orvelane.desktop share/icons/hicolor/256x256/apps/org.example.Orvelane.png; do
    grep -qx "[^/]*/$file" <<<"$listing" || fail "the archive lacks $file"
done

work=$(mktemp -d)
program_pid=""
installed_here=no
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

apt_get() {
    $sudo env DEBIAN_FRONTEND=noninteractive timeout 300 apt-get -y -q "$@" >"$work/apt.log" 2>&1 ||
        fail "apt-get $*: $(cat "$work/apt.log")"
}

cleanup() {
    [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null || true
    if [ "$installed_here" = yes ]; then
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q orvelane >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The package's files under ROOT (/ once installed): valid desktop entry and metainfo, and
# orvelane-here prepares a fresh folder and starts the program beside it there.
check_programs_under() {
    local root=$1 folder window
    if ! [ -x "$root/usr/bin/orvelane" ] || ! [ -x "$root/usr/bin/orvelane-here" ]; then
        fail "no programs in $root/usr/bin"
    fi
    desktop-file-validate "$root/usr/share/applications/org.example.Orvelane.desktop" ||
        fail "the desktop entry in $root is not valid"
    sh packaging/tests/validate_test.sh metainfo "$root/usr/share/metainfo/org.example.Orvelane.metainfo.xml" >/dev/null ||
        fail "the metainfo in $root is not valid"

    folder=$(mktemp -d "$work/my emulator folder XXXX")
    mkdir -p "$work/home"
    env -i PATH=/usr/bin:/bin HOME="$work/home" DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" \
        timeout 120 "$root/usr/bin/orvelane-here" "$folder" >"$work/program.log" 2>&1 &
    window=$(timeout 60 xdotool search --sync --name "^${title}\$" | head -n1) ||
        fail "the main window \"$title\" did not appear: $(cat "$work/program.log")"
    program_pid=$(xdotool getwindowpid "$window")
    [ "$(readlink "/proc/$program_pid/exe")" = "$root/usr/bin/orvelane" ] || fail "the window is not $root/usr/bin/orvelane's"
    [ "$(readlink "/proc/$program_pid/cwd")" = "$folder" ] || fail "the program does not run in the emulator folder"
    for file in ORVELANE.DAT ORVELANE.TXT; do
        cmp -s "$root/usr/share/orvelane/$file" "$folder/$file" || fail "$file was not copied in"
    done
    kill "$program_pid"
    program_pid=""
    echo "check-package: $root/usr/bin/orvelane shows \"$title\" in the prepared folder"
}

# --- the package's programs, unpacked ---
dpkg-deb -x "$deb" "$work/unpacked"
check_programs_under "$work/unpacked"

# --- install, run, remove: only on a throwaway machine ---
if [ "${CI:-}" != true ]; then
    echo "check-package: ok (nothing installed; CI=true also installs the package and removes it again)"
    exit 0
fi
if dpkg-query -W -f='${Status}' orvelane 2>/dev/null | grep -q "install ok installed"; then
    fail "orvelane is installed already; this check installs and removes it, so it wants a machine without it"
fi
# Recommends (a dialog tool) are left out: the check passes the folder on the command line.
apt_get install --no-install-recommends "$deb"
installed_here=yes
echo "check-package: apt-get installed $(dpkg-query -W -f='${Package} ${Version}' orvelane)"
check_programs_under ""
apt_get remove orvelane
installed_here=no
if [ -e /usr/bin/orvelane ] || [ -e /usr/share/orvelane ]; then
    fail "apt-get remove left files behind"
fi
echo "check-package: ok (the package is removed again)"
