#!/usr/bin/env bash
# Configures and builds one build tree: build.sh [release|sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
case "$kind" in
  release)  dir=build;          args=(-DCMAKE_BUILD_TYPE=Release) ;;
  sanitize) dir=build-sanitize; args=(-DCMAKE_BUILD_TYPE=Debug -DTABULON_SANITIZE=ON) ;;
  *) echo "build.sh: unknown build kind '$kind' (release or sanitize)" >&2; exit 2 ;;
esac
# TABULON_WERROR=ON (as CI sets it) makes every warning an error.
args+=(-DTABULON_WERROR="${TABULON_WERROR:-OFF}")
cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -- -j"$(nproc)"
