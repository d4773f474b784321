# Due-today pass of the reminder search: one file parse plus a due test per event section.
add_executable(bench_recurrence ${CMAKE_CURRENT_LIST_DIR}/RecurrenceBench.cpp)
target_link_libraries(bench_recurrence PRIVATE benchmark::benchmark almanex::recurrence almanex::bench_common)
