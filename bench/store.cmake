# Store benchmark: parsing and reading a configuration file of 10,000 events (bench/README.md, "Store").
add_executable(bench_store ${CMAKE_CURRENT_LIST_DIR}/StoreBenchmark.cpp)
target_link_libraries(bench_store PRIVATE benchmark::benchmark almanex::store)
