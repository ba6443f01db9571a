#!/usr/bin/env bash
# Runs COMMAND in a brand-new Debian root, as a new user of that release would: debootstrap
# makes a minimal SUITE root from the package archive this machine's apt is set up with, the
# committed tree (HEAD, nothing uncommitted) is copied into it, with ../shared beside it as CI
# has it, and COMMAND runs there as root with nothing else installed. Proof that the README's
# commands need nothing done by hand. It runs inside such a root too (CI's Debian 13 part, when
# the whole of .ci/run is tried in a fresh root): the nested root has a cache of its own.
#
# Usage: scripts/fresh-root.sh SUITE COMMAND...      e.g. scripts/fresh-root.sh trixie scripts/test.sh
#
# Needs root (or sudo) and debootstrap (installed when missing). The root is made under
# ORVELANE_FRESH_ROOTS (default /var/tmp/orvelane-fresh-roots) and removed afterwards unless
# ORVELANE_KEEP_ROOT=1. Downloaded packages are kept in a cache beside the roots, so a second
# run does not fetch them again; every root still starts with nothing installed. DISPLAY and
# XAUTHORITY are handed in with the X server's socket folder, and CI as it is set.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 SUITE COMMAND..." >&2
    exit 2
fi
suite=$1
shift
source_tree=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=DISPLAY,XAUTHORITY,CI,ORVELANE_FRESH_ROOTS,ORVELANE_KEEP_ROOT "$0" "$suite" "$@"
fi
if ! command -v debootstrap >/dev/null; then
    # A machine whose package lists were never fetched knows no debootstrap yet.
    install_debootstrap() {
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null
    }
    install_debootstrap || { apt-get update -q >/dev/null && install_debootstrap; }
fi

# The archive and its security sibling, as this machine's own apt sources name them.
archive_uris() {
    {
        grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{for (i = 2; i <= NF; i++) print $i}'
        grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
            sed 's/\[[^]]*\]//' | awk '{print $2}'
    } | sed 's:/*$::'
}
mirror=$(archive_uris | grep -m1 '/debian$' || true)
security=$(archive_uris | grep -m1 '/debian-security$' || true)
if [ -z "$mirror" ]; then
    echo "fresh-root: this machine's apt sources name no Debian archive" >&2
    exit 1
fi

roots=${ORVELANE_FRESH_ROOTS:-/var/tmp/orvelane-fresh-roots}
cache=$roots/cache/$suite
mkdir -p "$cache"
# Roots of one suite share the cache, and apt in one locks it for all: one run at a time.
exec 9>"$cache.lock"
flock -n 9 || { echo "fresh-root: waiting for another $suite run to end"; flock 9; }
root=$(mktemp -d "$roots/$suite.XXXXXX")
# It is the root folder of its programs: everyone may enter it, as on any Debian system.
chmod 755 "$root"
mounted=()

cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[i]}" 2>/dev/null || true
    done
    if [ "${ORVELANE_KEEP_ROOT:-}" = 1 ]; then
        echo "fresh-root: kept $root"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

bind() {
    mkdir -p "$root$2"
    mount "${@:3}" --bind "$1" "$root$2"
    mounted+=("$root$2")
}

started=$(date +%s)
echo "fresh-root: debootstrap --variant=minbase $suite into $root"
debootstrap --variant=minbase --cache-dir="$cache" "$suite" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
    tail -n 20 "$root.debootstrap.log" >&2
    exit 1
}
rm -f "$root.debootstrap.log"
echo "fresh-root: debootstrap took $(($(date +%s) - started)) s"

{
    echo "deb $mirror $suite main"
    echo "deb $mirror $suite-updates main"
    [ -z "$security" ] || echo "deb $security $suite-security main"
} >"$root/etc/apt/sources.list"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

mount -t proc proc "$root/proc" && mounted+=("$root/proc")
bind /sys /sys -r
bind /dev /dev
bind /dev/pts /dev/pts
mount -t tmpfs tmpfs "$root/dev/shm" && mounted+=("$root/dev/shm")
bind "$cache" /var/cache/apt/archives
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
    bind /tmp/.X11-unix /tmp/.X11-unix
fi
if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
    cp "$XAUTHORITY" "$root/root/.Xauthority"
fi

# The committed tree, as a clone would give it to a new user. Without git, or from a tree that is
# no checkout (an unpacked source archive, or the tree in a root this script made), the tree as
# it stands, without what builds and runs leave in it.
if command -v git >/dev/null && git -C "$source_tree" rev-parse --verify -q HEAD >/dev/null 2>&1; then
    git -C "$source_tree" archive --format=tar --prefix=orvelane/ HEAD | tar -x -C "$root/root"
    tree="$(git -C "$source_tree" rev-parse --short HEAD)"
else
    mkdir "$root/root/orvelane"
    tar -C "$source_tree" --exclude=./.git --exclude=./build --exclude=./run -c . | tar -x -C "$root/root/orvelane"
    tree="the tree of $source_tree"
fi
# The shared folder CI has beside its checkout (the Windows Qt, the house style), where there is one.
shared="$source_tree/../shared"
if [ -d "$shared" ]; then
    cp -a "$shared" "$root/root/shared"
    tree="$tree, with ../shared beside it"
fi
echo "fresh-root: $tree in $root/root/orvelane; running: $*"

environment=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
             TERM="${TERM:-dumb}")
[ -z "${DISPLAY:-}" ] || environment+=(DISPLAY="$DISPLAY")
[ ! -f "$root/root/.Xauthority" ] || environment+=(XAUTHORITY=/root/.Xauthority)
[ -z "${CI:-}" ] || environment+=(CI="$CI")

status=0
chroot "$root" /usr/bin/env -i "${environment[@]}" /bin/bash -c 'cd /root/orvelane && "$@"' fresh-root "$@" ||
    status=$?
echo "fresh-root: $suite: \"$*\" exited with $status after $(($(date +%s) - started)) s"
exit "$status"
