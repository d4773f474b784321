# The reminder scheduler over 10,000 events: quiet tick, search, day-change reset.
add_executable(bench_scheduler ${CMAKE_CURRENT_LIST_DIR}/SchedulerBench.cpp)
target_link_libraries(bench_scheduler PRIVATE almanex::app almanex::bench_common benchmark::benchmark)
