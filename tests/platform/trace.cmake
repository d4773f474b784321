almanex_add_test(NAME test_trace
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TestTraceListener.cpp ${CMAKE_CURRENT_LIST_DIR}/TestTraceListener.h
    ${CMAKE_CURRENT_LIST_DIR}/TraceChannelTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageBoxTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FailureHandlerTest.cpp
  LIBRARIES almanex::platform Qt6::Widgets)
