# The picture composed for several monitors against the plain conversion of
# one picture. The sample JPEGs are written by the tests' JPEG encoder.
if(UNIX AND TARGET plimbury_test_support)
  add_executable(compose_bench ${CMAKE_CURRENT_LIST_DIR}/ComposeBench.cpp)
  target_link_libraries(compose_bench PRIVATE plimbury_imaging plimbury_test_support plimbury_warnings)
endif()
