trovander_test(test_store)
trovander_test(test_walker)
trovander_test(test_startup)
# main itself on a bad index, under an X server, where its message box can be seen and answered.
find_program(XVFB_RUN xvfb-run)
if(XVFB_RUN)
  add_test(NAME test_startup_main
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:test_startup> mainExitsOneWithoutWindow)
  set_tests_properties(test_startup_main PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;TROVANDER_BUILD=${CMAKE_BINARY_DIR}" LABELS "wm" TIMEOUT 120)
endif()
