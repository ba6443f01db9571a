#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout a desktop expects: the
# program and its companion command, the default companion files, the icon at every hicolor
# size (real PNGs of that size) and scalable, the desktop entry and metainfo that name each
# other and the icon, and the manual pages. Then the installed companion prepares a fresh
# emulator folder and starts the installed program there, on the offscreen platform.
# Usage: install_layout_test.sh BUILD-DIR SOURCE-DIR VERSION
# The checks are written in single quotes on purpose: check evaluates them.
# shellcheck disable=SC2016,SC2034
set -u
build=$1
source=$2
version=$3
data=$source/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
id=org.example.Orvelane
failures=0

check() {
    local what=$1
    shift
    if "$@"; then
        printf 'ok   %s\n' "$what"
    else
        printf 'FAIL %s\n' "$what"
        failures=$((failures + 1))
    fi
}

# Width and height from the PNG header: the signature, then the IHDR chunk.
png_size() {
    local bytes
    read -r -a bytes <<<"$(od -An -tu1 -N24 "$1" | tr "\n" " ")"
    [ "${#bytes[@]}" -eq 24 ] && [ "${bytes[1]}" -eq 80 ] && [ "${bytes[2]}" -eq 78 ] && [ "${bytes[3]}" -eq 71 ] ||
        return 1
    printf '%sx%s' $(((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19])) \
        $(((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23]))
}

# A picture of one or two colours would mean the SVG was not drawn at all.
has_several_colours() {
    [ "$(identify -format %k "$1")" -gt 8 ]
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL cmake --install"; exit 1; }

check "the program is installed and executable" test -x "$prefix/bin/orvelane"
check "orvelane-here is installed beside it and executable" test -x "$prefix/bin/orvelane-here"
check "the default settings file is the 35-byte one" cmp -s "$data/ORVELANE.DAT" "$prefix/share/orvelane/ORVELANE.DAT"
check "the guide is installed" cmp -s "$data/ORVELANE.TXT" "$prefix/share/orvelane/ORVELANE.TXT"
check "the guide names the program's version" grep -q "^ORVELANE v $version " "$data/ORVELANE.TXT"
for size in 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    check "the ${size}x${size} icon is a ${size}x${size} PNG" eval '[ "$(png_size "$png")" = "${size}x${size}" ]'
done
if command -v identify >/dev/null 2>&1; then
    for size in 32 256; do
        check "the ${size}x${size} icon is really drawn" \
            has_several_colours "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    done
fi
check "the scalable icon is the SVG source" \
    cmp -s "$source/resources/pictures/icon.svg" "$prefix/share/icons/hicolor/scalable/apps/$id.svg"

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
check "the desktop entry starts orvelane-here" grep -qx 'Exec=orvelane-here' "$desktop"
check "the desktop entry's icon is the installed one" grep -qx "Icon=$id" "$desktop"
check "the metainfo launches the desktop entry" grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
check "the metainfo carries the program's version" grep -q "<release version=\"$version\"" "$metainfo"
man_dir=$prefix/share/man/man1
check "the manual page is installed" eval '[ -f "$man_dir/orvelane.1.gz" ] || [ -f "$man_dir/orvelane.1" ]'
check "orvelane-here has a manual page" eval '[ -f "$man_dir/orvelane-here.1.gz" ] || [ -f "$man_dir/orvelane-here.1" ]'
if command -v man >/dev/null 2>&1; then
    check "man shows the page for orvelane-here" \
        eval 'MANPATH="$prefix/share/man" MANWIDTH=80 man orvelane-here 2>/dev/null | grep -q "orvelane-here --set"'
fi

# The installed pair at work: a fresh folder gets its two files and the program keeps running
# (it would end at once, silently, without them). Stopped after two seconds either way.
folder="$work/my emulator's folder"
mkdir -p "$folder"
env -i PATH=/usr/bin:/bin HOME="$work" QT_QPA_PLATFORM=offscreen \
    timeout 2 "$prefix/bin/orvelane-here" "$folder" >"$work/run.log" 2>&1
status=$?
check "the installed companion prepares the folder" eval 'cmp -s "$data/ORVELANE.DAT" "$folder/ORVELANE.DAT" && [ -f "$folder/ORVELANE.TXT" ]'
check "the installed program starts there and keeps running (status $status; 124 = still running)" \
    test "$status" -eq 124

[ "$failures" -eq 0 ] || { printf '%s check(s) failed\n' "$failures"; cat "$work/run.log"; exit 1; }
printf 'all checks passed\n'
