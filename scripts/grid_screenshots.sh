#!/usr/bin/env bash
# Renders the grid example in a real X server (Xvfb) and takes screenshots
# into docs/images/:
#   grid-sample.png    a small table with non-ASCII text, check boxes, memos
#                      and pictures, sorted by a title click (its marker), the
#                      first column frozen
#   grid-lines.png     the same table with rows of three lines, themed
#   grid-hint.png      the data hint over a cut cell
#   grid-million.png   the generated table of 1,000,000 records, sorted by
#                      two fields, in its middle, rows marked
#   grid-empty.png     the empty grid's logo
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -f build/build.ninja ]; then scripts/build.sh release >/dev/null; fi
cmake --build build --target grid_example >/dev/null
mkdir -p docs/images

if [ -z "${GRID_SHOTS_IN_X:-}" ]; then
  export GRID_SHOTS_IN_X=1
  exec xvfb-run -a -s "-screen 0 1400x1000x24 -dpi 96" "$0" "$@"
fi

sample=$(mktemp -d)
trap 'rm -rf "$sample"' EXIT

# One window: start it, wait until it says it is painted, focus it, rest the
# mouse where it says, shoot (with the hint window, from the screen).
shoot() {
  local out=$1
  shift
  local ready
  ready=$(mktemp)
  rm -f "$ready"
  build/examples/grid_example --ready "$ready" "$@" &
  local pid=$!
  for _ in $(seq 600); do [ -s "$ready" ] && break; sleep 0.1; done
  if [ ! -s "$ready" ]; then
    echo "grid_screenshots.sh: the window did not come up for $out" >&2
    kill "$pid"
    exit 1
  fi
  local wid
  wid=$(xdotool search --sync --onlyvisible --name "^Tabulon grid\$" | head -1)
  xdotool windowfocus --sync "$wid" || true
  read -r word x y < "$ready" || true
  if [ "$word" = hover ]; then
    xdotool mousemove --sync "$x" "$y"
    sleep 0.2
    xdotool mousemove --sync "$((x + 1))" "$y"
    sleep 0.6
  else
    xdotool mousemove --sync 1390 990
    sleep 0.3
  fi
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "docs/images/$out"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  rm -f "$ready"
  echo "written docs/images/$out"
}

shoot grid-sample.png --sample "$sample" --size 980x330 --sort NAME --frozen 1 --col 4 --record 2
shoot grid-lines.png --sample "$sample" --size 980x420 --look themed --lines 3 --col 1 --record 3
shoot grid-hint.png --sample "$sample" --size 980x300 --frozen 1 --hint 7,3
shoot grid-million.png --size 980x520 --sort CITY,NAME --record 500000 --select 4 --col 2
shoot grid-empty.png --empty --size 640x360
