#!/usr/bin/env bash
# Renders the controls gallery in a real X server (Xvfb) and takes
# screenshots of its windows into docs/images/:
#   controls-classic.png      the classic style (the unthemed look)
#   controls-themed.png       the Fusion style (themed faces)
#   controls-classic-2x.png   the classic style at a device-pixel ratio of 2
#   open-dialog.png           the open dialog with its check box
#   export-dialog.png         the export options dialog (7 records, 2 a line)
# The mouse rests on the Help tool button, so it shows hot. Then the program
# itself, driven with xdotool on a copy of samples/staff.db:
#   main-window.png           the main window: rows three lines high with the
#                             pictures and memos, sorted by Name (the red
#                             marker), No and Name frozen
#   about-box.png             the about box
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -f build/build.ninja ]; then scripts/build.sh release >/dev/null; fi
cmake --build build --target controls_gallery tabulx >/dev/null
mkdir -p docs/images

if [ -z "${GALLERY_IN_X:-}" ]; then
  export GALLERY_IN_X=1
  exec xvfb-run -a -s "-screen 0 2000x1500x24 -dpi 96" "$0" "$@"
fi

# One window: start it, wait until it says it is painted, hover, shoot.
shoot() {
  local out=$1 title=$2
  shift 2
  local ready
  ready=$(mktemp)
  rm -f "$ready"
  build/examples/controls_gallery --ready "$ready" "$@" &
  local pid=$!
  for _ in $(seq 100); do [ -s "$ready" ] && break; sleep 0.1; done
  if [ ! -s "$ready" ]; then
    echo "gallery.sh: the window did not come up for $out" >&2
    kill "$pid"
    exit 1
  fi
  local wid
  wid=$(xdotool search --sync --onlyvisible --name "^${title}\$" | head -1)
  read -r word x y < "$ready" || true
  if [ "$word" = hover ]; then
    xdotool mousemove --sync "$x" "$y"
    sleep 0.3
  fi
  import -window "$wid" "docs/images/$out"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  rm -f "$ready"
  echo "written docs/images/$out"
}

shoot controls-classic.png "Tabulon controls" --look classic
shoot controls-themed.png "Tabulon controls" --look themed
QT_SCALE_FACTOR=2 shoot controls-classic-2x.png "Tabulon controls" --look classic
shoot open-dialog.png "Tabulon controls - open" --look classic --dialog
shoot export-dialog.png "Export data" --look classic --export-dialog

# The program on a copy of the staff sample, opened through the
# connection-string engine so that a title click sorts it; settings of its own.
program=$(mktemp -d)
cp samples/staff.* "$program"/
HOME=$program XDG_CONFIG_HOME=$program/config QT_QPA_PLATFORM=xcb \
  build/tabulx/tabulx -ado "$program/staff.db" >"$program/log" 2>&1 &
pid=$!
stop_program() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$program"
}
trap stop_program EXIT
window() { # the first visible window of that name, waited for
  timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1
}
main=$(window '^Tabulon - staff\.db$')
if [ -z "$main" ]; then
  echo "gallery.sh: the main window did not come up:" >&2
  cat "$program/log" >&2
  exit 1
fi
at() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
xdotool windowsize "$main" 760 470
sleep 0.3
at 300 130                                         # the grid takes the keys
xdotool keydown shift click 5 click 5 keyup shift  # rows of three lines
at 180 75                                          # sort by Name
at 180 110                                         # a name current
at 68 16                                           # freeze No and Name
xdotool mousemove 1270 1010                        # no hint in the picture
sleep 0.5
import -window "$main" docs/images/main-window.png
echo "written docs/images/main-window.png"

at 156 16
about=$(window '^About\.\.\.$')
[ -n "$about" ] || { echo "gallery.sh: no about box" >&2; exit 1; }
xdotool mousemove 1270 1010
sleep 0.3
import -window "$about" docs/images/about-box.png
echo "written docs/images/about-box.png"
xdotool key Escape
