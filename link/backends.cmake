# The real backends behind the bridge seam: the operating system's serial
# ports (default) and FTDI's D2XX library, loaded at run time.
add_library(r6140k_backends STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SerialBridge.h ${CMAKE_CURRENT_LIST_DIR}/SerialBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbPortStrings.h ${CMAKE_CURRENT_LIST_DIR}/UsbPortStrings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/D2xxBridge.h ${CMAKE_CURRENT_LIST_DIR}/D2xxBridge.cpp
)
target_link_libraries(r6140k_backends PUBLIC r6140k_link PRIVATE Qt6::Core Qt6::SerialPort)
