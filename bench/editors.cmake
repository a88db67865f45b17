# The wallpaper editor's preview: decode time against djpeg -scale 1/8, pictures
# previewed one after another, and the window's event loop while previews run.
if(PLIMBURY_GUI AND UNIX AND TARGET plimbury_test_support)
  add_executable(preview_bench ${CMAKE_CURRENT_LIST_DIR}/PreviewBench.cpp)
  target_link_libraries(preview_bench PRIVATE plimbury_editors plimbury_test_support plimbury_warnings)
endif()

# Adding a whole folder at once: 1,000 against 10,000 selected files.
if(PLIMBURY_GUI AND TARGET plimbury_test_support)
  add_executable(add_many_bench ${CMAKE_CURRENT_LIST_DIR}/AddManyBench.cpp)
  target_link_libraries(add_many_bench PRIVATE plimbury_editors plimbury_test_support plimbury_warnings)
endif()
