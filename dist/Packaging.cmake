# The Debian package, built by CPack from the install rules (dist/): cpack -G DEB
# in a build folder, or scripts/package.sh from a fresh clone.
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_NAME tabulon)
set(CPACK_PACKAGE_VENDOR Kessmark)
set(CPACK_PACKAGE_CONTACT "${TABULON_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and exporter of dBase, Paradox and text tables")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tabulon opens one database table file at a time: dBase (.dbf, with its memo
files and indexes), Paradox (.db) or delimited text (.txt, .csv, .asc, .tab).
It shows the table in a data grid and exports it to delimited text, HTML, XML,
RTF, an XLS worksheet or an XLSX workbook, from its window or unattended from
the command line (tabulx).")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends from the shared libraries the program links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The ODBC library is bound by name when it is there, and xdg-utils hands
# exports to the mail program; the program runs without either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libodbc2, xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No maintainer scripts: dpkg's triggers of shared-mime-info, desktop-file-utils,
# hicolor-icon-theme and man-db refresh their caches when the package puts
# files into their folders or takes them away.
include(CPack)
