# plimbury_add_library(<name> [<extra source>...])
# One static library per folder of src/: every .cpp file of the calling
# folder plus the extra sources, headers included as "<folder>/<file>.h".
function(plimbury_add_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources} ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE plimbury_warnings)
endfunction()
