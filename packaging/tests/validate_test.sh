#!/bin/sh
# Validates one of the desktop files with the freedesktop tools, when they are installed.
# Usage: validate_test.sh desktop FILE.desktop | metainfo FILE.metainfo.xml | man FILE.1
# Exit status 77 (a skipped test to CTest) when the tool is missing.
set -u
kind=$1
file=$2

need() {
    command -v "$1" >/dev/null 2>&1 && return 0
    echo "skipped: $1 is not installed (Debian package $2; scripts/install-deps.sh installs it)"
    exit 77
}

case $kind in
    desktop)
        need desktop-file-validate desktop-file-utils
        # It reports hints too; any line of output is something to mend.
        report=$(desktop-file-validate "$file" 2>&1)
        status=$?
        ;;
    metainfo)
        need appstreamcli appstream
        # Every error, warning and info counts (as --strict would have it); --no-net checks no
        # address. AppStream before 1.0 does not know the <developer> tag that 1.0 asks for in
        # place of <developer_name>, and reports it as an unknown tag: only that is let pass.
        report=$(appstreamcli validate --no-net "$file" 2>&1)
        status=$?
        version=$(appstreamcli --version | sed -n 's/^AppStream version: *//p')
        issues=$(printf '%s\n' "$report" | grep '^[EWI]:')
        case $version in
            0.*) issues=$(printf '%s\n' "$issues" | grep -v '^I: [^ ]*: unknown-tag developer$') ;;
        esac
        [ -z "$issues" ] || status=1
        ;;
    man)
        need groff groff-base
        report=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$file" 2>&1)
        status=$?
        ;;
    *)
        echo "unknown kind: $kind" >&2
        exit 2
        ;;
esac

[ -z "$report" ] || printf '%s\n' "$report"
if [ "$status" -ne 0 ] || { [ "$kind" != metainfo ] && [ -n "$report" ]; }; then
    echo "FAIL: $file is not valid"
    exit 1
fi
echo "ok: $file is valid"
