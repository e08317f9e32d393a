# nerolin_test(NAME): the GoogleTest executable NAME_test from NAME_test.cc in
# the calling folder, linked against the component and the test support.
function(nerolin_test name)
  if(NOT NEROLIN_BUILD_TESTS)
    return()
  endif()
  add_executable(${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/${name}_test.cc)
  target_link_libraries(${name}_test PRIVATE nerolin nerolin_test_support
                        nerolin_options GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name}_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
  gtest_discover_tests(${name}_test DISCOVERY_MODE PRE_TEST
                       WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                       PROPERTIES ENVIRONMENT "NEROLIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
