# almanex_add_test(NAME name SOURCES ... LIBRARIES ...)
# Builds one GoogleTest binary on the shared test main and registers each of its cases with CTest,
# under a fixed environment: UTC, a UTF-8 C locale and the offscreen Qt platform. The test main gives
# every process its own 0700 runtime, config and data folders, so no test touches the real home.
include(GoogleTest)
function(almanex_add_test)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE almanex::testmain ${ARG_LIBRARIES})
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_TIMEOUT 120
    PROPERTIES
      ENVIRONMENT "TZ=UTC;LANG=C.UTF-8;LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen"
      TIMEOUT 300)
endfunction()
