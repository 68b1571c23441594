trovander_test(test_faults_rebuild LABELS faults)
trovander_test(test_faults_store LABELS faults)
# A process that holds a lock on an index, for the tests above.
add_executable(trovander-lock lock_holder.cpp)
target_link_libraries(trovander-lock PRIVATE trovander_core)
set_target_properties(trovander-lock PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
add_dependencies(test_faults_store trovander-lock trovander-index)
trovander_test(test_faults_names LABELS faults)
trovander_test(test_faults_open LABELS faults)
