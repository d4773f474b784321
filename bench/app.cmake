add_executable(bench_app ${CMAKE_CURRENT_LIST_DIR}/AppBench.cpp)
target_link_libraries(bench_app PRIVATE almanex::app almanex::bench_common benchmark::benchmark)
