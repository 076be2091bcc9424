# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real program under Xvfb and keeps a picture of every window in
# <build>/screenshots, to be looked at by a person.
find_program(AMPERO_XVFB Xvfb)
if(AMPERO_XVFB)
  add_test(NAME ui_screenshots
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/screenshots.sh $<TARGET_FILE:ampero> ${CMAKE_BINARY_DIR}/screenshots)
  # The recent files the program keeps go to the build folder, not the user's settings.
  set_tests_properties(ui_screenshots PROPERTIES TIMEOUT 120
                       ENVIRONMENT "LC_ALL=C.UTF-8;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/screenshots/config")
  # Three runs compared: the chart with its legend and the table beside it.
  add_test(NAME ui_compare_screenshot
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/compare_screenshot.sh $<TARGET_FILE:ampero>
                   ${CMAKE_BINARY_DIR}/screenshots-compare)
  set_tests_properties(ui_compare_screenshot PROPERTIES TIMEOUT 120
                       ENVIRONMENT "LC_ALL=C.UTF-8;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/screenshots-compare/config")
endif()
