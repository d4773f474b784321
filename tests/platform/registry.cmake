# The per-user settings store, the registry helpers of the windows, and the logon entry.
almanex_add_test(NAME test_registry
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/RegistryTestSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CommRegistryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AutoStartTest.cpp
  LIBRARIES almanex::platform)
