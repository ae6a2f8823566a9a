#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when all are
# present it only checks and returns.
#   setup.sh          what building and testing need
#   setup.sh bench    the same (the benchmarks' converters are the tests' too)
set -euo pipefail

packages=(
  # build
  build-essential g++ cmake ninja-build pkg-config
  clang libclang-rt-14-dev clang-format
  # libraries
  libgtest-dev libgmock-dev
  libjpeg62-turbo-dev
  pxlib-dev
  libicu-dev             # Unicode case folding for search, filters and sorting
  libuchardet-dev        # guesses the code page of tables that name none
  unixodbc libodbc2
  qt6-base-dev      # Qt Widgets, and Qt Test (libqt6test6) for the widget tests
  qt6-qpa-plugins   # the offscreen and X11 platforms (only recommended by Qt's GUI library)
  # fonts with the glyphs the tables hold, and the substitutes of the
  # windows' designed fonts (Liberation for "MS Sans Serif", "Courier New",
  # "Impact"); without a CJK font Qt shows boxes for Chinese and Japanese
  fonts-dejavu-core fonts-liberation fonts-wqy-zenhei
  # emoji in cells, titles and hints (the grid); fontconfig falls back to it
  fonts-noto-color-emoji
  # the XLSX writer, and the zip library it and its tests read the workbooks back with
  libxlsxwriter-dev libminizip-dev
  # real readers of the exported documents, used by the tests
  libreoffice-writer-nogui libreoffice-calc-nogui
  python3 python3-lxml libxml2-utils
  # other programs that read and write dBase tables, used by the tests
  pgdbf python3-dbfread gdal-bin
  # window-system tests and the gallery's screenshots (scripts/gallery.sh):
  # the X server, the user's clicks and keys, screenshots and pixels
  xvfb xauth xdotool imagemagick
  # the end-to-end test reads the desktop's clipboard back
  xclip
  time
  # installing and packaging: the icon's sizes, the checks of the desktop
  # entry and the manual page, the file types in a scratch MIME database
  # (gio through xdg-mime), the manual page shown by man, the Debian package
  # (dpkg-shlibdeps), its checks (file, lintian)
  librsvg2-bin desktop-file-utils mandoc shared-mime-info libglib2.0-bin xdg-utils
  man-db dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
