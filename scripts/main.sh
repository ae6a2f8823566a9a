#!/usr/bin/env bash
# Sets up, builds and runs the main job: an export of a sample table.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release
out=${1:-build/out/customers.txt}
mkdir -p "$(dirname "$out")"
build/examples/export_example "$out"
