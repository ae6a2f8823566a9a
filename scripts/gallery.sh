#!/usr/bin/env bash
# Renders the controls gallery in a real X server (Xvfb) and takes
# screenshots of its windows into docs/images/:
#   controls-classic.png      the classic style (the unthemed look)
#   controls-themed.png       the Fusion style (themed faces)
#   controls-classic-2x.png   the classic style at a device-pixel ratio of 2
#   open-dialog.png           the open dialog with its check box
#   export-dialog.png         the export options dialog (7 records, 2 a line)
# The mouse rests on the Help tool button, so it shows hot.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -f build/build.ninja ]; then scripts/build.sh release >/dev/null; fi
cmake --build build --target controls_gallery >/dev/null
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
