#!/usr/bin/env bash
# Takes the pictures in docs/: the real program on a virtual display of its own, driven
# with xdotool, each window grabbed with ImageMagick's import.
#
#   scripts/screenshots.sh              builds the release preset first
#   scripts/screenshots.sh BUILD_DIR    uses BUILD_DIR/src/app/orvelane as it is
#
# Needs xvfb-run, xdotool, xwininfo and import (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
out_dir=$source_dir/docs

if [ $# -ge 1 ]; then
  build=$(cd "$1" && pwd)
else
  cmake --preset release >/dev/null
  cmake --build --preset release --target orvelane
  build=$source_dir/build/release
fi
# The rest runs on a virtual display of its own, with the program as it is now built.
[ -n "${ORVELANE_VIRTUAL_DISPLAY:-}" ] || exec scripts/virtual-display.sh "$0" "$build"

program=$build/src/app/orvelane
[ -x "$program" ] || { echo "No program at $program" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for tool in xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "Needs $tool: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$(mktemp -d)
app_pid=""

stop_program() {
  if [ -n "$app_pid" ]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
  fi
}

finish() {
  stop_program
  rm -rf "$work"
}
trap finish EXIT

export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# The working directory: the two companion files, and a game in a folder of its own for
# the NEO R.A.G.E. play window to pick.
run_dir=$work/run
mkdir -p "$run_dir/MSLUG"
cp "$source_dir/data/ORVELANE.DAT" "$source_dir/data/ORVELANE.TXT" "$run_dir/"
: >"$run_dir/MSLUG/MSLUG.038"

# The first visible window whose caption is exactly $1, within ten seconds.
find_window() {
  local pattern
  pattern="^$(printf '%s' "$1" | sed 's/[][\\^$.|?*+(){}]/\\&/g')\$"
  for _ in $(seq 100); do
    local found
    found=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1 || true)
    if [ -n "$found" ]; then
      echo "$found"
      return 0
    fi
    sleep 0.1
  done
  echo "No window \"$1\" showed" >&2
  return 1
}

# "X Y WIDTH HEIGHT" of window $1 on the screen.
geometry_of() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ { x = $4 }
    /Absolute upper-left Y:/ { y = $4 }
    /^ *Width:/ { w = $2 }
    /^ *Height:/ { h = $2 }
    END { print x, y, w, h }'
}

# Saves the rectangle X Y WIDTH HEIGHT of the screen as docs/$5.png.
grab() {
  import -window root -crop "${3}x${4}+${1}+${2}" +repage -strip "$out_dir/$5.png"
  echo "docs/$5.png"
}

grab_window() {
  # shellcheck disable=SC2046
  grab $(geometry_of "$1") "$2"
}

# Starts the program afresh; prints its main window.
start_program() {
  stop_program
  (cd "$run_dir" && exec "$program") >>"$work/program.log" 2>&1 &
  app_pid=$!
  main=$(find_window " Orvelane   -   v $version")
  read -r main_x main_y main_w main_h < <(geometry_of "$main")
  menu_bar=$((main_h - 216))
  # The pointer rests on the banner: no button looks raised and the status line reads
  # the window's own hint.
  xdotool mousemove --window "$main" 236 $((menu_bar + 110))
  sleep 0.3
}

keys() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  xdotool key --delay 80 "$@"
}

# Opens a secondary window from the main window's menu; prints it.
open_window() {
  local caption=$1
  shift
  keys "$main" "$@"
  find_window "$caption"
}

# Scrolls the scroll box whose scroll bar runs down x = $2 from y = $3 in window $1 to its
# end: wheel turns over the scroll bar, then clicks on its bottom arrow for the last pixels.
scroll_to_bottom() {
  xdotool mousemove --window "$1" "$2" "$3" click --repeat 150 --delay 10 5
  xdotool mousemove --window "$1" "$2" "$4" click --repeat 20 --delay 20 1
  sleep 0.3
}

mkdir -p "$out_dir"

start_program
grab "$main_x" "$main_y" "$main_w" "$main_h" main

keys "$main" alt+v t
# On the NEO R.A.G.E. button long enough for its tooltip.
xdotool mousemove --window "$main" $((45 + 12)) $((menu_bar + 14))
sleep 1.2
grab "$main_x" "$main_y" "$main_w" "$main_h" main-tools

start_program
keys "$main" alt+p Right
sleep 0.5
grab "$main_x" "$main_y" "$main_w" "$main_h" menu-play

# View > Check with NEOGEO and the system ROM in the folder and NEO R.A.G.E. missing: two
# ticks and one clear item. The marks are read at start-up, so the files can go again after.
: >"$run_dir/neogeo.exe"
: >"$run_dir/neo-geo.rom"
start_program
rm "$run_dir/neogeo.exe" "$run_dir/neo-geo.rom"
keys "$main" alt+v Right
sleep 0.5
grab "$main_x" "$main_y" "$main_w" "$main_h" menu-check

# Each window from a fresh start, so none shows what an earlier one left behind.
shoot_window() {
  local name=$1 caption=$2 window
  shift 2
  start_program
  window=$(open_window "$caption" "$@")
  grab_window "$window" "$name"
}

shoot_window about " About Of ..." alt+h a
shoot_window about-neorage " NEO R.A.G.E." alt+h n
shoot_window about-neogeo " NEOGEO" alt+h e
shoot_window games " List  of  Games ... NEO-GEO" alt+l g
shoot_window configuration " NEO R.A.G.E. - Configuration" alt+p n Down Return
shoot_window play-neogeo " NEOGEO - Play" alt+p e Return
shoot_window play-neorage " NEO R.A.G.E. - Play" alt+p n Return

start_program
about=$(open_window " About Of ..." alt+h a)
# The box's scroll bar: inside its two-pixel border, the rightmost 16 pixels.
scroll_to_bottom "$about" 335 150 184
grab_window "$about" about-bottom

start_program
games=$(open_window " List  of  Games ... NEO-GEO" alt+l g)
scroll_to_bottom "$games" 265 120 177
grab_window "$games" games-bottom

# A game chosen: the play window shows "Loading ..." and the game's folder. There is no
# emulator in the working directory, so nothing is started.
start_program
play=$(open_window " NEO R.A.G.E. - Play" alt+p n Return)
xdotool mousemove --window "$play" 121 116 click 1
dialog=$(find_window "Open")
keys "$dialog" ctrl+a
xdotool type --delay 10 "MSLUG/MSLUG.038"
xdotool key Return
sleep 0.8
xdotool mousemove --window "$main" 236 $((menu_bar + 110))
sleep 0.3
grab_window "$play" play-neorage-loading
