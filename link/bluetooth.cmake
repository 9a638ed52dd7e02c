# The Bluetooth link: BlueZ radio access and the link itself.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BLUEZ REQUIRED IMPORTED_TARGET bluez)

target_sources(quenda_link PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BluetoothRadio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BluetoothLink.cpp
)
target_link_libraries(quenda_link PRIVATE PkgConfig::BLUEZ)
