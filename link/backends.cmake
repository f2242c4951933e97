# The real backends behind the bridge seam: the operating system's serial
# ports (default), FTDI's D2XX library, loaded at run time, and serial lines
# exported on the network. Serial and network lines share LineBackend; what
# only some systems have (SerialPortIo, UsbPortStrings, DeviceAccess's
# holders and groups) comes from the platform folder R6140K_PLATFORM names.
add_library(r6140k_backends STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Line.h ${CMAKE_CURRENT_LIST_DIR}/Line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineBackend.h ${CMAKE_CURRENT_LIST_DIR}/LineBackend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialBridge.h ${CMAKE_CURRENT_LIST_DIR}/SerialBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialLine.h ${CMAKE_CURRENT_LIST_DIR}/SerialLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialPortIo.h ${CMAKE_CURRENT_LIST_DIR}/platform/${R6140K_PLATFORM}/SerialPortIo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbPortStrings.h ${CMAKE_CURRENT_LIST_DIR}/platform/${R6140K_PLATFORM}/UsbPortStrings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/D2xxBridge.h ${CMAKE_CURRENT_LIST_DIR}/D2xxBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineWaits.h
  ${CMAKE_CURRENT_LIST_DIR}/DeviceAccess.h ${CMAKE_CURRENT_LIST_DIR}/DeviceAccess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform/${R6140K_PLATFORM}/DeviceAccess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NetworkAddress.h ${CMAKE_CURRENT_LIST_DIR}/NetworkAddress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NetworkBridge.h ${CMAKE_CURRENT_LIST_DIR}/NetworkBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NetworkLine.h ${CMAKE_CURRENT_LIST_DIR}/NetworkLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TelnetCodec.h ${CMAKE_CURRENT_LIST_DIR}/TelnetCodec.cpp
)
target_link_libraries(r6140k_backends PUBLIC r6140k_link PRIVATE Qt6::Core Qt6::SerialPort Qt6::Network)

# FTDI's library by its usual name on each system; its calls use __stdcall
# on Windows, which makes a difference on 32-bit x86 only.
if(WIN32)
  set(d2xx_library FTD2XX.DLL)
elseif(APPLE)
  set(d2xx_library libftd2xx.dylib)
else()
  set(d2xx_library libftd2xx.so)
endif()
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(d2xx_call __stdcall)
endif()
target_compile_definitions(r6140k_backends PRIVATE R6140K_D2XX_LIBRARY="${d2xx_library}" "R6140K_D2XX_CALL=${d2xx_call}")
