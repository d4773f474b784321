# Regional formats from Qt locales, and the wall clock's conversion to local time.
almanex_add_test(NAME test_locale
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LocaleBridgeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SystemClockTest.cpp
  LIBRARIES almanex::platform_core)
