quenda_add_gtest(bluetooth_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BluetoothTest.cpp
  LIBS quenda_link)
