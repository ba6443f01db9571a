#!/usr/bin/env bash
# Builds the Debian package and the portable archive from the release build, installs the
# package with apt-get, starts the installed program under Xvfb in a fresh emulator folder
# prepared by the installed orvelane-here, checks that its main window appears, then removes
# the package again. Every wait is bounded; the release build is reused as it stands.
# Usage: scripts/check-package.sh [BUILD-DIR]   (default: the release preset, build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

title=' Orvelane   -   v 1.30'
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

bash scripts/install-deps.sh
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

fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}

# --- what the packages hold ---
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 qt6-qpa-plugins fonts-liberation; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || fail "the package does not depend on $package: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for package in dosbox wine; do
    [[ ", $recommends," == *", $package,"* ]] || fail "the package does not recommend $package: $recommends"
done
dpkg-deb -c "$deb" | grep '/usr/share/man/man1/orvelane\.1' >/dev/null || fail "the package lacks the manual page"
listing=$(tar tzf "$archive")
for file in bin/orvelane bin/orvelane-here share/orvelane/ORVELANE.DAT share/orvelane/ORVELANE.TXT \
    share/applications/org.example.Orvelane.desktop share/icons/hicolor/256x256/apps/org.example.Orvelane.png; do
    grep -qx "[^/]*/$file" <<<"$listing" || fail "the archive lacks $file"
done

# --- install, run, remove ---
work=$(mktemp -d)
xvfb_pid=""
program_pid=""
installed_here=no
if dpkg-query -W -f='${Status}' orvelane 2>/dev/null | grep -q "install ok installed"; then
    echo "check-package: orvelane was installed before this check; it is upgraded and left installed"
    already_installed=yes
else
    already_installed=no
fi

cleanup() {
    [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    if [ "$installed_here" = yes ] && [ "$already_installed" = no ]; then
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q orvelane >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

apt_get() {
    $sudo env DEBIAN_FRONTEND=noninteractive timeout 300 apt-get -y -q "$@" >"$work/apt.log" 2>&1 ||
        fail "apt-get $*: $(cat "$work/apt.log")"
}

# Recommends (a dialog tool) are left out: the check passes the folder on the command line.
apt_get install --no-install-recommends "$deb"
installed_here=yes
echo "check-package: apt-get installed $(dpkg-query -W -f='${Package} ${Version}' orvelane)"
if ! [ -x /usr/bin/orvelane ] || ! [ -x /usr/bin/orvelane-here ]; then
    fail "apt-get did not install the programs"
fi
desktop-file-validate /usr/share/applications/org.example.Orvelane.desktop ||
    fail "the installed desktop entry is not valid"
appstreamcli validate --no-net --strict /usr/share/metainfo/org.example.Orvelane.metainfo.xml >/dev/null ||
    fail "the installed metainfo is not valid"

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$(head -n1 "$work/display")

folder="$work/my emulator folder"
mkdir -p "$folder" "$work/home"
env -i PATH=/usr/bin:/bin HOME="$work/home" DISPLAY="$display" \
    timeout 120 /usr/bin/orvelane-here "$folder" >"$work/program.log" 2>&1 &
window=$(DISPLAY=$display timeout 60 xdotool search --sync --name "^${title}\$" | head -n1) ||
    fail "the main window \"$title\" did not appear: $(cat "$work/program.log")"
program_pid=$(DISPLAY=$display xdotool getwindowpid "$window")
[ "$(readlink "/proc/$program_pid/exe")" = /usr/bin/orvelane ] || fail "the window is not the installed program's"
[ "$(readlink "/proc/$program_pid/cwd")" = "$folder" ] || fail "the program does not run in the emulator folder"
cmp -s /usr/share/orvelane/ORVELANE.DAT "$folder/ORVELANE.DAT" || fail "ORVELANE.DAT was not copied in"
cmp -s /usr/share/orvelane/ORVELANE.TXT "$folder/ORVELANE.TXT" || fail "ORVELANE.TXT was not copied in"
echo "check-package: the installed program shows \"$title\" in the prepared folder"

kill "$program_pid"
program_pid=""
if [ "$already_installed" = no ]; then
    apt_get remove orvelane
    installed_here=no
    if [ -e /usr/bin/orvelane ] || [ -e /usr/share/orvelane ]; then
        fail "apt-get remove left files behind"
    fi
fi
echo "check-package: ok (the package is removed again)"
