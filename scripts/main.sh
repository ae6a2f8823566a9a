#!/usr/bin/env bash
# Sets up, builds and runs the main job: a command-line export of a sample
# table shipped in samples/ (made by build/samples/make_samples).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release
out=${1:-build/out/customers.htm}
mkdir -p "$(dirname "$out")"
build/tabulx/tabulx -export samples/customers.dbf "$out"
echo "written to $(realpath "$out")"
