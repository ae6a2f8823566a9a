#!/usr/bin/env bash
# Sets up, checks the format of every source file, builds with warnings as
# errors and runs every test: all of them in a release build, and
# the unit tests again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (the real-reader tests run LibreOffice and
# parsers, which gain nothing from the sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
status=0

echo "== format (.clang-format)"
scripts/format-check.sh || status=1

# In CI a warning is an error.
export TABULON_WERROR=ON

scripts/build.sh release
echo "== tests (release build)"
ctest --test-dir build --output-on-failure -j"$(nproc)" || status=1

scripts/build.sh sanitize
echo "== unit tests (sanitizer build)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" -LE readers || status=1

if [ -x scripts/fuzz.sh ]; then
  echo "== short fuzz run"
  scripts/fuzz.sh 15 || status=1
fi
exit $status
