# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry and the AppStream description must pass their validators,
# and the install rules must put every file in its standard place.
find_program(AMPERO_DFV desktop-file-validate)
if(AMPERO_DFV)
  add_test(NAME desktop_entry_valid COMMAND ${AMPERO_DFV} ${CMAKE_SOURCE_DIR}/resources/org.orvex.Ampero.desktop)
endif()
find_program(AMPERO_ASCLI appstreamcli)
if(AMPERO_ASCLI)
  add_test(NAME appstream_metainfo_valid
           COMMAND ${AMPERO_ASCLI} validate --no-net ${CMAKE_SOURCE_DIR}/resources/org.orvex.Ampero.metainfo.xml)
endif()
add_test(NAME install_places_files
         COMMAND sh -c "rm -rf \"$1\" && cmake --install \"$2\" --prefix \"$1\" >/dev/null && cd \"$1\" && \
test -x bin/ampero && test -f share/applications/org.orvex.Ampero.desktop && \
test -f share/metainfo/org.orvex.Ampero.metainfo.xml && \
test -f share/icons/hicolor/16x16/apps/org.orvex.Ampero.png && \
test -f share/icons/hicolor/32x32/apps/org.orvex.Ampero.png && \
test -f share/icons/hicolor/48x48/apps/org.orvex.Ampero.png && \
test -f share/icons/hicolor/scalable/apps/org.orvex.Ampero.svg && echo installed"
                 sh ${CMAKE_BINARY_DIR}/install-test ${CMAKE_BINARY_DIR})
