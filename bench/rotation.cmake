# The rotation at rest: one tick of a 5,000-entry project with nothing due,
# with the schedule keys kept between ticks and parsed afresh, side by side.
# bench/idle.sh measures the whole program at rest from outside.
add_executable(rotation_idle_bench ${CMAKE_CURRENT_LIST_DIR}/RotationIdleBench.cpp)
target_link_libraries(rotation_idle_bench PRIVATE plimbury_rotation plimbury_warnings)
