almanex_add_test(NAME test_debugserver
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DebugServerTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TraceLinePrintTest.cpp
  LIBRARIES almanex::debug_server)
add_dependencies(test_debugserver almanex-debug-server)
target_compile_definitions(test_debugserver PRIVATE ALMANEX_DEBUG_SERVER="$<TARGET_FILE:almanex-debug-server>")
