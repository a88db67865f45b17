# JPEG to BMP and preview benchmarks against djpeg (package libjpeg-turbo-progs).
# It starts child processes the POSIX way.
if(UNIX)
  add_executable(jpeg_bench ${CMAKE_CURRENT_LIST_DIR}/JpegBench.cpp)
  target_link_libraries(jpeg_bench PRIVATE plimbury_imaging JPEG::JPEG plimbury_warnings)
endif()
