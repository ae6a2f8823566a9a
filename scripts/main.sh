#!/usr/bin/env bash
# Sets up, builds and starts the program on a sample table (samples/, made by
# the project's generator):
#   with a display (DISPLAY or WAYLAND_DISPLAY), the main window opens on
#   customers.dbf, which you can sort, filter, search, edit and export;
#   without one, the table is exported on the command line to HTML
#   (build/out/customers.htm, or the file given) and the script says where.
# The window works on a copy in build/try/, so that edits leave samples/ as
# the generator made it; a copy that is there already is kept, with its edits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  mkdir -p build/try
  for f in samples/*; do
    case "$f" in *.cpp | *.h | */CMakeLists.txt) continue ;; esac
    cp -n "$f" build/try/
  done
  echo "opening $(realpath build/try/customers.dbf) in the main window"
  exec build/tabulx/tabulx build/try/customers.dbf
fi

out=${1:-build/out/customers.htm}
mkdir -p "$(dirname "$out")"
build/tabulx/tabulx -export samples/customers.dbf "$out"
echo "written to $(realpath "$out")"
