# The tray icon, balloon routing, our popup window, and the notification service over a private bus.
almanex_add_test(NAME test_tray
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/TrayIconTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/NotifierTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/NotifierBusTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/BalloonPopupTest.cpp
  LIBRARIES almanex::platform Qt6::Test Qt6::DBus)
