# The reminder scheduler: ticks, balloons and the marks in the configuration file.
almanex_add_test(NAME test_scheduler SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReminderSchedulerTest.cpp LIBRARIES almanex::app)
