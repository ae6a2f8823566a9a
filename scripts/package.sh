#!/usr/bin/env bash
# Builds the Debian package from a clone: sets up, builds with Debian's
# hardening flags in build-package/, checks the installed tree and the
# package (ctest -L install), and leaves build-package/tabulon_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

dir=build-package
# Debian's flags for packages (fortified functions, stack protector, full
# RELRO and immediate binding); preprocessor flags go with the compiler's.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
# The change log's date, and so the package, from the last commit.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -- -j"$(nproc)"
ctest --test-dir "$dir" -L install --output-on-failure -j"$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/tabulon_*.deb)
echo "package: $(realpath "$deb")"
