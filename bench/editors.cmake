# The wallpaper editor's preview: decode time against djpeg -scale 1/8, pictures
# previewed one after another, and the window's event loop while previews run.
if(PLIMBURY_GUI AND UNIX AND TARGET plimbury_test_support)
  add_executable(preview_bench ${CMAKE_CURRENT_LIST_DIR}/PreviewBench.cpp)
  target_link_libraries(preview_bench PRIVATE plimbury_editors plimbury_test_support plimbury_warnings)
endif()
