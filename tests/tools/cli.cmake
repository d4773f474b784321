almanex_add_test(NAME test_cli
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CliTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CliNextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CliDueTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CliReportTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CliLocaleTest.cpp
  LIBRARIES almanex::cli)
target_compile_definitions(test_cli PRIVATE ALMANEX_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")
