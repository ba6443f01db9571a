#!/bin/sh
# The Windows tests' Wine: `wine-prefix.sh start FOLDER` makes a fresh prefix in FOLDER,
# nothing left from an earlier run, with Wine's virtual desktop, in which hiding a window
# takes milliseconds instead of the two seconds each it takes on an X server without a window
# manager (the desktop is set in the prefix's registry, which keeps each program's exit
# status). Without a DISPLAY it starts a virtual X display of its own for the run, which
# wine-run.sh then uses. `wine-prefix.sh stop FOLDER` ends the prefix's wineserver and that
# display.
set -eu
action=${1:?usage: wine-prefix.sh start|stop FOLDER}
prefix=${2:?usage: wine-prefix.sh start|stop FOLDER}
export WINEPREFIX="$prefix" WINEDEBUG=-all

stop() {
  if [ -d "$prefix" ]; then
    wineserver -k 2>/dev/null || true
    [ -f "$prefix/.xvfb-pid" ] && kill "$(cat "$prefix/.xvfb-pid")" 2>/dev/null || true
    rm -f "$prefix/.xvfb-pid" "$prefix/.display"
  fi
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi
command -v wine >/dev/null || { echo "wine-prefix.sh: Wine is not installed (scripts/install-deps.sh)" >&2; exit 1; }
stop
rm -rf "$prefix"
mkdir -p "$prefix"
if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "wine-prefix.sh: no DISPLAY, and Xvfb is not installed" >&2; exit 1; }
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$prefix/.display" >/dev/null 2>&1 &
  echo $! >"$prefix/.xvfb-pid"
  for _ in $(seq 100); do [ -s "$prefix/.display" ] && break; sleep 0.1; done
  [ -s "$prefix/.display" ] || { echo "wine-prefix.sh: the virtual display did not start" >&2; exit 1; }
  DISPLAY=:$(cat "$prefix/.display")
  export DISPLAY
fi
wineboot -i >/dev/null 2>&1 || { echo "wine-prefix.sh: wineboot could not make the prefix" >&2; exit 1; }
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
wineserver -w
