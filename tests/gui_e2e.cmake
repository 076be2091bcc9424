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
endif()
