# The installed program, started from a read-only prefix; two copies on one index.
add_test(NAME test_install COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(test_install PROPERTIES LABELS install TIMEOUT 300)
