# The write sequence of a project save straight on ProfileFile, 1,000 and 10,000 entries.
add_executable(profile_bench ${CMAKE_CURRENT_LIST_DIR}/ProfileBench.cpp)
target_link_libraries(profile_bench PRIVATE plimbury_platform plimbury_warnings)
