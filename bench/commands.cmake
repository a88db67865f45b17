# Save of a project of 1,000 and of 10,000 entries: the time should grow with the entries, not faster.
add_executable(save_project_bench ${CMAKE_CURRENT_LIST_DIR}/SaveProjectBench.cpp)
target_link_libraries(save_project_bench PRIVATE plimbury_project plimbury_warnings)
