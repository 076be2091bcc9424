# SPDX-License-Identifier: GPL-3.0-or-later
# The real program on Xvfb, driven with xdotool: a fast test to its results,
# SIGTERM and SIGINT during a window test, SIGTERM during a terminal test, a
# new test after a fast one (no ghost forecast line), the X names of the
# windows, SIGHUP, a closed output, a run to empty and a full disk in the
# terminal test, a full disk in the window, and the locks on logind's mock while the results
# show. Pictures and window-titles.txt go to <build>/e2e-screenshots, to be
# looked at by a person.
find_program(AMPERO_XVFB Xvfb)
find_program(AMPERO_XDOTOOL xdotool)
if(AMPERO_XVFB AND AMPERO_XDOTOOL)
  add_test(NAME gui_e2e
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/support/with-xvfb.sh
                   /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/gui_e2e.py $<TARGET_FILE:ampero> ${CMAKE_BINARY_DIR}/e2e-screenshots)
  set_tests_properties(gui_e2e PROPERTIES TIMEOUT 420 SKIP_RETURN_CODE 77
                       ENVIRONMENT "LC_ALL=C.UTF-8;AMPERO_POWER_SOURCE=;AMPERO_FAULT_SHIM=$<TARGET_FILE:ampero_faultshim>")
  # The busy animation on a real X server, where its frames play from a
  # thread of their own: it must start, pause and stop there too.
  add_test(NAME ui_busyanimation_x11
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/support/with-xvfb.sh $<TARGET_FILE:ui_busyanimation_test>)
  set_tests_properties(ui_busyanimation_x11 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb")
endif()

# The same program driven through the accessibility interface (AT-SPI), on
# Xvfb and on a headless Weston: a fast test from the menu to its results,
# whose figures must read as --report gives them. Skipped (77) when the
# accessibility bus or pyatspi is missing.
find_program(AMPERO_DBUS_RUN_SESSION dbus-run-session)
find_program(AMPERO_WESTON weston)
if(AMPERO_DBUS_RUN_SESSION)
  set(atspi_driver sh ${CMAKE_CURRENT_SOURCE_DIR}/support/with-a11y.sh /usr/bin/python3
                   ${CMAKE_CURRENT_SOURCE_DIR}/atspi_e2e.py $<TARGET_FILE:ampero>)
  if(AMPERO_XVFB)
    add_test(NAME gui_atspi_x11 COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/support/with-xvfb.sh ${atspi_driver})
    set_tests_properties(gui_atspi_x11 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb")
  endif()
  if(AMPERO_WESTON)
    add_test(NAME gui_atspi_wayland COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/support/with-weston.sh ${atspi_driver})
    # A test until Weston blanks its idle screen: neither window draws then.
    add_test(NAME gui_wayland_blank_screen
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/support/with-weston.sh sh
                     ${CMAKE_CURRENT_SOURCE_DIR}/support/with-a11y.sh /usr/bin/python3
                     ${CMAKE_CURRENT_SOURCE_DIR}/atspi_e2e.py --blank $<TARGET_FILE:ampero>)
    set_tests_properties(gui_wayland_blank_screen PROPERTIES ENVIRONMENT "AMPERO_WESTON_IDLE=20")
  endif()
  foreach(t gui_atspi_x11 gui_atspi_wayland gui_wayland_blank_screen)
    if(TEST ${t})
      set_tests_properties(${t} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
      set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "LC_ALL=C.UTF-8;AMPERO_POWER_SOURCE=")
    endif()
  endforeach()
endif()
