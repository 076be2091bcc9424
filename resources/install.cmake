# SPDX-License-Identifier: GPL-3.0-or-later
# Desktop integration: the menu entry, the icon in every size of the hicolor
# theme and the AppStream description, each in its standard place.
set(AMPERO_RES ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${AMPERO_RES}/org.orvex.Ampero.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${AMPERO_RES}/org.orvex.Ampero.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48)
  install(FILES ${AMPERO_RES}/icons/org.orvex.Ampero-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME org.orvex.Ampero.png)
endforeach()
install(FILES ${AMPERO_RES}/icons/org.orvex.Ampero.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
