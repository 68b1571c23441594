trovander_test(test_ui_layout)
trovander_test(test_ui_drag)
trovander_test(test_ui_buttons)
trovander_test(test_ui_about)
trovander_test(test_ui_snapshot)
add_dependencies(test_ui_snapshot trovander-snapshot)
trovander_test(test_ui_show)
# The same under a real window manager, where a minimised window is restored by the manager itself.
find_program(XVFB_RUN xvfb-run)
if(XVFB_RUN AND TARGET test_ui_show)
  add_test(NAME test_ui_show_wm
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:test_ui_show>)
  set_tests_properties(test_ui_show_wm PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb" LABELS "wm" TIMEOUT 120)
endif()
