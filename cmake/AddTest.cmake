include(GoogleTest)
# plimbury_add_test(name SOURCES ... LIBS ... [OWN_MAIN]): one GoogleTest
# executable per folder. Without OWN_MAIN it links GoogleTest's main.
function(plimbury_add_test name)
  cmake_parse_arguments(T "OWN_MAIN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} plimbury_test_support GTest::gmock GTest::gtest plimbury_warnings)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
