# JPEG to BMP and preview benchmarks against djpeg (package libjpeg-turbo-progs).
# It starts child processes the POSIX way.
# The sample photos are written by the tests' JPEG encoder (plimbury_test_support).
if(UNIX AND TARGET plimbury_test_support)
  add_executable(jpeg_bench ${CMAKE_CURRENT_LIST_DIR}/JpegBench.cpp)
  target_link_libraries(jpeg_bench PRIVATE plimbury_imaging plimbury_test_support plimbury_warnings)
endif()

# Every picture format to BMP against the format's own command-line decoder
# (netpbm's pngtopnm, giftopnm and tifftopnm, webp's dwebp, libheif-examples'
# heif-convert, djpeg) and ImageMagick's convert, which also makes the pictures.
if(UNIX)
  add_executable(picture_bench ${CMAKE_CURRENT_LIST_DIR}/PictureBench.cpp)
  target_link_libraries(picture_bench PRIVATE plimbury_imaging plimbury_warnings)
endif()
