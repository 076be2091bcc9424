# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry and the AppStream description must pass their validators,
# the manual page must list the options --help lists, and the install rules
# must put every file in its standard place.
find_program(AMPERO_DFV desktop-file-validate)
if(AMPERO_DFV)
  add_test(NAME desktop_entry_valid COMMAND ${AMPERO_DFV} ${CMAKE_SOURCE_DIR}/resources/org.orvex.ampero.desktop)
endif()
find_program(AMPERO_ASCLI appstreamcli)
if(AMPERO_ASCLI)
  add_test(NAME appstream_metainfo_valid
           COMMAND ${AMPERO_ASCLI} validate --pedantic --no-net ${CMAKE_SOURCE_DIR}/resources/org.orvex.ampero.metainfo.xml)
  set_tests_properties(appstream_metainfo_valid PROPERTIES FAIL_REGULAR_EXPRESSION "[EWIP]: ")
endif()
add_test(NAME manpage_matches_help
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/manpage_check.sh $<TARGET_FILE:ampero> ${CMAKE_SOURCE_DIR}/resources/ampero.1.in)
add_test(NAME install_places_files
         COMMAND sh -c "rm -rf \"$1\" && cmake --install \"$2\" --prefix \"$1\" >/dev/null && cd \"$1\" && \
test -x bin/ampero && test -f share/applications/org.orvex.ampero.desktop && \
test -f share/metainfo/org.orvex.ampero.metainfo.xml && \
test -f share/mime/packages/org.orvex.ampero.xml && test -f share/man/man1/ampero.1.gz && \
test -f share/icons/hicolor/16x16/apps/org.orvex.ampero.png && \
test -f share/icons/hicolor/32x32/apps/org.orvex.ampero.png && \
test -f share/icons/hicolor/48x48/apps/org.orvex.ampero.png && \
test -f share/icons/hicolor/scalable/apps/org.orvex.ampero.svg && \
test -f share/icons/hicolor/scalable/mimetypes/application-x-orvex-ampero-results.svg && echo installed"
                 sh ${CMAKE_BINARY_DIR}/install-test ${CMAKE_BINARY_DIR})
