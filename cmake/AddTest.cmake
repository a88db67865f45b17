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
  if(WIN32)
    # The program's manifest: the tests run with UTF-8 as the code page, as the program does.
    set(manifest_rc ${CMAKE_BINARY_DIR}/test-manifest.rc)
    file(CONFIGURE OUTPUT ${manifest_rc} CONTENT
         "#include <winresrc.h>\nCREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${PROJECT_SOURCE_DIR}/assets/windows/plimbury.manifest\"\n")
    target_sources(${name} PRIVATE ${manifest_rc})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# plimbury_add_test_run(name TARGET executable FILTER gtest-filter ENVIRONMENT var=value...):
# some tests of an executable run once more in another environment, for the
# settings Qt reads only when the application starts (QT_SCALE_FACTOR, the
# offscreen platform's screens).
function(plimbury_add_test_run name)
  cmake_parse_arguments(R "" "TARGET;FILTER" "ENVIRONMENT" ${ARGN})
  if(NOT R_ENVIRONMENT MATCHES "QT_QPA_PLATFORM=")
    list(PREPEND R_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  add_test(NAME ${name} COMMAND ${R_TARGET} --gtest_filter=${R_FILTER})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${R_ENVIRONMENT}")
endfunction()
