# The wallpaper editor's preview: decode time against djpeg -scale 1/8, pictures
# previewed one after another, and the window's event loop while previews run.
if(PLIMBURY_GUI AND UNIX)
  add_executable(preview_bench ${CMAKE_CURRENT_LIST_DIR}/PreviewBench.cpp)
  target_link_libraries(preview_bench PRIVATE plimbury_editors JPEG::JPEG plimbury_warnings)
endif()
