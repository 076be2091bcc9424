# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by CPack from the install rules (scripts/package.sh
# runs it on a Release build): `cpack -G DEB` in the build folder writes
# orvex-ampero_VERSION_amd64.deb. The install rules are the one list of what
# the package carries, so a file added to them is in the package too.
set(CPACK_PACKAGE_NAME orvex-ampero)
set(CPACK_PACKAGE_VENDOR Orvex)
set(CPACK_PACKAGE_CONTACT "Orvex <ampero@orvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "battery benchmark for laptops")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvex Ampero runs a laptop on battery, with or without load on every processor, \
records the charge level once a second and draws it against the elapsed time. A fast \
test stops after three level changes and extends the curve to empty; a normal test runs \
until the battery is exhausted. Terminal modes print, export and compare results files.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.orvex.example)
# The libraries the program links, from dpkg-shlibdeps over the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program loads at run time, which dpkg-shlibdeps cannot see: the
# SVG image and icon-engine plugins (the icons and pictures), and the Qt SQL
# driver of the local history. The GIF plugin of the busy animation and the
# xcb and offscreen platforms come with libqt6gui6, which the binary links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libqt6sql6-sqlite")
# A Wayland session runs natively with qt6-wayland (X11 through Xwayland
# otherwise); UPower is the preferred power source (sysfs otherwise); the
# PostgreSQL driver serves a history kept on a server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, upower, libqt6sql6-psql")

# The copyright file every Debian package carries.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian-copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvex-ampero
        RENAME copyright)
include(CPack)
