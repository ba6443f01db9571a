#!/usr/bin/env bash
# Tests the orvelane-here companion with a stub in place of Orvelane, laid out as installed:
# prefix/bin/{orvelane-here,orvelane} and prefix/share/orvelane/{ORVELANE.DAT,ORVELANE.TXT}.
# The companion runs with a cleared environment and a PATH of a few plain tools, so a
# zenity or kdialog on this machine never pops up: the dialog tests bring their own stubs.
# Usage: orvelane_here_test.sh ORVELANE-HERE DATA-DIR
# The checks are written in single quotes on purpose: check evaluates them after the run.
# shellcheck disable=SC2016
set -u

script=$1
data=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

prefix=$work/prefix
mkdir -p "$prefix/bin" "$prefix/share/orvelane" "$work/home" "$work/games"
cp "$script" "$prefix/bin/orvelane-here"
chmod 755 "$prefix/bin/orvelane-here"
cp "$data/ORVELANE.DAT" "$data/ORVELANE.TXT" "$prefix/share/orvelane/"
# An installed package's files are not writable by the user; the copies must be.
chmod 444 "$prefix/share/orvelane/"*

cat > "$prefix/bin/orvelane" <<'EOF'
#!/bin/sh
# Stands in for Orvelane: records how many arguments it got and where it was started.
{ printf '%s\n' "$#"; pwd -P; } > "$STUB_LOG"
EOF
chmod 755 "$prefix/bin/orvelane"

tools=$work/tools
mkdir -p "$tools"
for tool in cat readlink dirname mkdir mv rm cp chmod; do
    ln -s "$(command -v "$tool")" "$tools/$tool"
done

# A dialog tool stub: logs its arguments; answers DIALOG_ANSWER, or cancels when unset.
dialog_stub='#!/bin/sh
printf "%s\n" "$*" >> "$DIALOG_LOG"
case $* in *--error*) exit 0 ;; esac
[ -n "${DIALOG_ANSWER+set}" ] || exit 1
printf "%s\n" "$DIALOG_ANSWER"'
for tool in zenity kdialog; do
    mkdir -p "$work/with-$tool"
    cp -P "$tools"/* "$work/with-$tool/"
    printf '%s\n' "$dialog_stub" > "$work/with-$tool/$tool"
    chmod 755 "$work/with-$tool/$tool"
done

log=$work/stub.log
dialog_log=$work/dialog.log
out=$work/out
err=$work/err
failures=0
rc=0
cwd=$work

# Runs the companion as `run [VAR=value...] -- ARGS...`, from the folder $cwd.
run() {
    local settings=()
    while [ "$1" != -- ]; do
        settings+=("$1")
        shift
    done
    shift
    rm -f "$log" "$dialog_log"
    (cd "$cwd" && exec env -i HOME="$work/home" XDG_CONFIG_HOME="$work/config" PATH="$tools" \
        STUB_LOG="$log" DIALOG_LOG="$dialog_log" "${settings[@]}" "$prefix/bin/orvelane-here" "$@" \
        >"$out" 2>"$err")
    rc=$?
}

check() {
    local what=$1
    shift
    if "$@"; then
        printf 'ok   %s\n' "$what"
    else
        printf 'FAIL %s\n' "$what"
        printf '     exit status %s; stdout: %s; stderr: %s\n' "$rc" "$(cat "$out")" "$(cat "$err")"
        failures=$((failures + 1))
    fi
}

started_in() {
    local expected
    expected=$(cd -- "$1" && pwd -P && printf x)
    [ -f "$log" ] && [ "$(cat "$log"; printf x)" = "0"$'\n'"${expected%x}x" ] && [ "$rc" -eq 0 ]
}
not_started() { [ ! -e "$log" ] && [ "$rc" -ne 0 ]; }
said() { grep -q -F -e "$1" "$err"; }
remembered_is() { [ "$(cat "$work/config/orvelane/folder"; printf x)" = "$1"$'\n'x ]; }
user_writable() { [ $((0$(stat -c %a "$1") & 0200)) -ne 0 ]; }

# --- help and usage ---
run -- --help
check "--help explains the folder, --set and the remembered file" \
    eval '[ "$rc" -eq 0 ] && grep -q -e "--set FOLDER" "$out" && grep -q "orvelane/folder" "$out"'
run -- --bogus
check "an unknown option is a usage error (status 2)" eval '[ "$rc" -eq 2 ] && [ ! -e "$log" ]'
run -- "$work/games" "$work/games"
check "two folders are a usage error" eval '[ "$rc" -eq 2 ] && [ ! -e "$log" ]'

# --- a folder given on the command line ---
odd=$'it\'s a "game" folder $(touch PWNED) `touch PWNED` ; & | * ? [a] \\ -n\ttab\nline'
mkdir -p "$work/games/$odd"
run -- "$work/games/$odd"
check "starts the program with no arguments in a folder with an odd name" started_in "$work/games/$odd"
check "copies the default settings file in, byte for byte" cmp -s "$data/ORVELANE.DAT" "$work/games/$odd/ORVELANE.DAT"
check "copies the guide in" cmp -s "$data/ORVELANE.TXT" "$work/games/$odd/ORVELANE.TXT"
check "the copied settings file is writable, so the switches can be saved" \
    user_writable "$work/games/$odd/ORVELANE.DAT"
check "nothing in the folder name is run" eval '[ -z "$(find "$work" -name PWNED)" ]'

mkdir -p "$work/games/mine"
printf ' KELMOR   - DATA -  \7\11\1\1\1\1\1\1\1\1\1\1\1\1\1' > "$work/games/mine/ORVELANE.DAT"
printf 'my own notes\n' > "$work/games/mine/ORVELANE.TXT"
cp "$work/games/mine/ORVELANE.DAT" "$work/mine.dat"
run -- "$work/games/mine"
check "starts in a folder that already holds both files" started_in "$work/games/mine"
check "never replaces the user's settings" cmp -s "$work/mine.dat" "$work/games/mine/ORVELANE.DAT"
check "never replaces the user's guide" eval '[ "$(cat "$work/games/mine/ORVELANE.TXT")" = "my own notes" ]'

rm "$work/games/mine/ORVELANE.TXT"
run -- "$work/games/mine"
check "puts back only the missing guide" \
    eval 'started_in "$work/games/mine" && cmp -s "$data/ORVELANE.TXT" "$work/games/mine/ORVELANE.TXT" &&
          cmp -s "$work/mine.dat" "$work/games/mine/ORVELANE.DAT"'

# Orvelane finds its companion files whatever their letter case: a settings file named
# orvelane.dat, from an old disc, is the one it reads, unless an ORVELANE.DAT stands beside it.
mkdir -p "$work/games/lower"
cp "$work/mine.dat" "$work/games/lower/orvelane.dat"
printf 'my own notes\n' > "$work/games/lower/Orvelane.txt"
run -- "$work/games/lower"
check "an orvelane.dat or Orvelane.txt in any letter case is kept as the user's own, with no second copy" \
    eval 'started_in "$work/games/lower" && [ ! -e "$work/games/lower/ORVELANE.DAT" ] &&
          [ ! -e "$work/games/lower/ORVELANE.TXT" ] && cmp -s "$work/mine.dat" "$work/games/lower/orvelane.dat"'

mkdir -p "$work/games/dangling"
ln -s "$work/elsewhere.dat" "$work/games/dangling/ORVELANE.DAT"
run -- "$work/games/dangling"
check "does not write through a dangling link named ORVELANE.DAT, and says why it stops" \
    eval 'not_started && [ ! -e "$work/elsewhere.dat" ] && said "is not a file"'

mkdir -p "$work/games/dirdat/ORVELANE.DAT"
run -- "$work/games/dirdat"
check "a folder named ORVELANE.DAT is reported instead of starting a program that would quit" \
    eval 'not_started && said "is not a file"'

run -- "$work/games/absent"
check "a missing folder is reported and not created" \
    eval 'not_started && said "no such folder" && [ ! -e "$work/games/absent" ]'

mkdir -p "$work/games/-" "$work/games/-n" "$work/games/--choose"
cwd=$work/games
run -- -- -
check 'a folder named "-" after -- is that folder, not the previous one' started_in "$work/games/-"
run -- -- -n
check 'a folder named "-n" after -- is a folder' started_in "$work/games/-n"
run -- -- --choose
check 'a folder named "--choose" after -- is a folder' started_in "$work/games/--choose"

# --- finding the program beside the companion ---
mkdir -p "$work/games/rel"
(
    cd "$work" || exit 1
    rm -f "$log"
    env -i HOME="$work/home" PATH="$tools" STUB_LOG="$log" ./prefix/bin/orvelane-here games/rel >"$out" 2>"$err"
)
rc=$?
check "started by a relative name, with a relative folder" started_in "$work/games/rel"
mkdir -p "$work/links"
ln -s "$prefix/bin/orvelane-here" "$work/links/orvelane-here"
rm -f "$log"
env -i HOME="$work/home" PATH="$work/links:$tools" STUB_LOG="$log" orvelane-here "$work/games/rel" >"$out" 2>"$err"
rc=$?
check "started through PATH and a symbolic link in another folder" started_in "$work/games/rel"
mv "$prefix/bin/orvelane" "$work/orvelane.away"
run -- "$work/games/rel"
check "a missing program is reported" eval 'not_started && said "not installed beside"'
mv "$work/orvelane.away" "$prefix/bin/orvelane"

# --- the remembered folder ---
run --
check "with nothing remembered and no dialog tool it explains --set and fails" \
    eval 'not_started && said "orvelane-here --set"'

trailing=$'ends with a newline\n'
mkdir -p "$work/games/$trailing"
run -- --set "$trailing"
cwd=$work
check "--set remembers the absolute folder and starts nothing" \
    eval '[ "$rc" -eq 0 ] && [ ! -e "$log" ] && remembered_is "$work/games/$trailing"'
run --
check "without a folder it starts in the remembered one, odd name and all" started_in "$work/games/$trailing"

run -- --choose
check "--choose with no dialog tool says so, and keeps the remembered folder" \
    eval 'not_started && said "neither zenity nor kdialog" && ! said "no emulator folder is set" &&
          remembered_is "$work/games/$trailing"'

run -- --set "$work/games/nowhere"
check "--set refuses a missing folder and keeps the old one" \
    eval '[ "$rc" -ne 0 ] && remembered_is "$work/games/$trailing"'

rm -rf "$work/config"
mkdir -p "$work/games/plain"
run XDG_CONFIG_HOME= -- --set "$work/games/plain"
check "with XDG_CONFIG_HOME empty the folder is remembered under ~/.config" \
    eval '[ "$rc" -eq 0 ] && [ "$(cat "$work/home/.config/orvelane/folder")" = "$work/games/plain" ]'
run XDG_CONFIG_HOME=relative/dir -- --set "$work/games/mine"
check "a relative XDG_CONFIG_HOME is ignored, as the standard says" \
    eval '[ "$(cat "$work/home/.config/orvelane/folder")" = "$work/games/mine" ] && [ ! -e relative ]'
rm -rf "$work/home/.config"

run -- --set "$work/games/-" && mv "$work/games/-" "$work/games/moved"
run --
check "a remembered folder that is gone is reported" eval 'not_started && said "no such folder"'
rm -rf "$work/config"

# --- asking for the folder ---
mkdir -p "$work/games/$odd/picked"
run PATH="$work/with-zenity" DIALOG_ANSWER="$work/games/$odd/picked" --
check "asks with zenity the first time, then remembers and starts there" \
    eval 'started_in "$work/games/$odd/picked" && remembered_is "$work/games/$odd/picked" &&
          grep -q -e "--directory" "$dialog_log"'
run PATH="$work/with-zenity" DIALOG_ANSWER="$work/games/mine" --
check "once remembered it does not ask again" eval 'started_in "$work/games/$odd/picked" && [ ! -e "$dialog_log" ]'
run PATH="$work/with-zenity" DIALOG_ANSWER="$work/games/mine" -- --choose
check "--choose asks again and remembers the new folder" \
    eval 'started_in "$work/games/mine" && remembered_is "$work/games/mine"'
rm -rf "$work/config"
run PATH="$work/with-zenity" --
check "a cancelled dialog starts nothing and remembers nothing" \
    eval 'not_started && [ ! -e "$work/config/orvelane/folder" ]'
run PATH="$work/with-kdialog" DIALOG_ANSWER="$work/games/rel" --
check "asks with kdialog when zenity is absent" \
    eval 'started_in "$work/games/rel" && grep -q -e "--getexistingdirectory" "$dialog_log"'
run PATH="$work/with-zenity" DISPLAY=:99 -- "$work/games/absent"
check "without a terminal, a failure is also shown in a dialog box" \
    eval 'not_started && grep -q -e "--error" "$dialog_log"'

[ "$failures" -eq 0 ] || { printf '%s check(s) failed\n' "$failures"; exit 1; }
printf 'all checks passed\n'
