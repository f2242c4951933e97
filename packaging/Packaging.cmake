# How the panel is installed, with `cmake --install` or as the Debian package
# that cpack builds: the two programs (installed by app/ and sim/), a desktop
# entry and its icon, manual pages, and a udev rule for FTDI bridges. The
# package_* tests build the package and check what it installs.
include(GNUInstallDirs)

set(R6140K_PACKAGE_MAINTAINER "R6140K Control Panel maintainers <r6140k-panel@example.com>"
  CACHE STRING "Maintainer field of the Debian package")

set(packaging_source ${CMAKE_CURRENT_LIST_DIR})
set(packaging_build ${CMAKE_BINARY_DIR}/packaging)

# The manual pages carry the project version, and are installed compressed
# as Debian keeps them.
set(manual_pages)
foreach(program r6140k-panel r6140k-sim)
  configure_file(${packaging_source}/${program}.1.in ${packaging_build}/${program}.1 @ONLY)
  add_custom_command(OUTPUT ${packaging_build}/${program}.1.gz
    COMMAND gzip -9nkf ${program}.1
    WORKING_DIRECTORY ${packaging_build}
    DEPENDS ${packaging_build}/${program}.1
    VERBATIM)
  list(APPEND manual_pages ${packaging_build}/${program}.1.gz)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})

install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_source}/r6140k-panel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_source}/r6140k-panel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging_source}/60-r6140k-ftdi.rules DESTINATION lib/udev/rules.d)

# cpack installs what is already built: building there would relink the
# programs that other tests run at the same time as package_build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME r6140k-panel)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for the R6140K I/Q upconverter")
set(CPACK_PACKAGE_DESCRIPTION
  "Adjusts by hand the analogue settings of an R6140K I/Q upconverter attached through an FTDI USB-serial \
bridge: baseband and modulator offsets, modulator attenuators, switches and user states. Includes r6140k-sim, \
a simulated instrument on a pseudo-terminal, and a udev rule that lets the plugdev group use FTDI bridges \
and sets their latency timer to 1 ms.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${R6140K_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

add_test(NAME package_build COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
set_tests_properties(package_build PROPERTIES FIXTURES_SETUP debian_package TIMEOUT ${R6140K_TEST_TIMEOUT})
add_test(NAME package_contents
  COMMAND ${packaging_source}/check-package ${CPACK_PACKAGE_DIRECTORY} ${PROJECT_VERSION})
set_tests_properties(package_contents PROPERTIES
  FIXTURES_REQUIRED debian_package
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  TIMEOUT ${R6140K_TEST_TIMEOUT})
