#!/usr/bin/env bash
# Installs the Debian packages Orvelane needs to build, test and run, on Debian 12 or 13. Safe
# to run again: it installs only what is missing and never asks a question. Every name is one
# both releases have; where Debian offers a default (clang's runtime), the default is named,
# never a version.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkgconf
  qt6-base-dev qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools libgl-dev
  # run: the platform plugins, the SVG picture and icon plugins, metric-compatible fonts
  qt6-qpa-plugins libqt6svg6 fonts-liberation
  # run the emulators: DOS programs through DOSBox, Windows programs through Wine
  dosbox wine wine64
  # the test emulators and the stand-in of scripts/run.sh: a DOS and a Windows program of ours;
  # the Windows build, cross-built with MinGW-w64 (posix threads, as the Windows Qt is)
  nasm gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
  nsis                           # makensis: the Windows installer
  # tests: a virtual display and a way to drive it, and a Wayland compositor for the same
  # checks on Wayland; clang and its fuzzer and sanitizer runtime
  xvfb xauth xdotool x11-utils imagemagick weston qt6-wayland clang libclang-rt-dev
  acl                            # setfacl: a settings file shared through an ACL
  fuse3 libfuse3-dev             # a file system that stops answering, of the tests' own
  desktop-file-utils appstream groff-base  # packaging: validating the desktop entry, metainfo, manual page
  dpkg-dev file                  # dpkg-shlibdeps: the .deb depends on the libraries as this release names
                                 # them; CPack finds the programs to give it with file
  debootstrap git                # CI: a brand-new root of the other release, the committed tree copied in
  # benchmarks: watching the first paint of a window
  libx11-dev libxdamage-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows Qt the Windows build is made against, where the shared folder beside the
# checkout has it (CI always does): unpacked once to the place its CMake files expect.
windows_qt="$(dirname "$0")/../../shared/windows-qt/qt-6.4.2-mingw-w64.tar.xz"
if [ -f "$windows_qt" ] && [ ! -f /opt/qt-6.4.2-mingw-w64/lib/cmake/Qt6/qt.toolchain.cmake ]; then
  echo "Unpacking the Windows Qt to /opt/qt-6.4.2-mingw-w64"
  $sudo tar -C /opt -xJf "$windows_qt"
fi

# The Windows build's host tools (moc, rcc, uic) must be the Windows Qt's own version: a newer
# moc writes code that Qt 6.4's headers cannot build. Where this release's Qt is another version
# (Debian 13 has 6.8), the tools come from the release whose Qt is 6.4.2, Debian 12, unpacked
# beside the Windows Qt without installing them; CMakeLists.txt takes them from there.
host_tools=/opt/qt-6.4.2-host
if [ -f /opt/qt-6.4.2-mingw-w64/lib/cmake/Qt6/qt.toolchain.cmake ] &&
   [ "$(/usr/lib/qt6/libexec/moc --version)" != "moc 6.4.2" ] &&
   [ ! -x "$host_tools/usr/lib/qt6/libexec/moc" ]; then
  echo "Fetching Debian 12's Qt 6.4.2 host tools for the Windows build into $host_tools"
  work=$(mktemp -d)
  mirror=$(apt-get indextargets --format '$(REPO_URI)' | grep -m1 '/debian/$')
  echo "deb $mirror bookworm main" >"$work/sources.list"
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  : >"$work/status"
  apt_options=(-q -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
               -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
               -o "Dir::State::status=$work/status" -o Debug::NoLocking=1)
  $sudo apt-get "${apt_options[@]}" update >/dev/null
  (cd "$work" && $sudo apt-get "${apt_options[@]}" download qt6-base-dev qt6-base-dev-tools qmake6 qmake6-bin)
  for deb in "$work"/*.deb; do
    $sudo dpkg-deb -x "$deb" "$host_tools"
  done
  $sudo rm -rf "$work"
fi
