# How the panel is installed, with `cmake --install` or as the Debian package
# that cpack builds: the programs (installed by app/ and sim/), the
# Python driver and its example (python/), a desktop
# entry and its icon, manual pages, the package's changelog and copyright,
# and a udev rule for the instrument's FTDI bridge. The package_* tests build
# the package, check what it installs and run lintian on it.
include(GNUInstallDirs)

set(R6140K_PACKAGE_MAINTAINER "R6140K Control Panel maintainers <r6140k-panel@example.com>"
  CACHE STRING "Maintainer field of the Debian package")

set(packaging_source ${CMAKE_CURRENT_LIST_DIR})
set(packaging_build ${CMAKE_BINARY_DIR}/packaging)

# Manual pages and the changelog are installed compressed, as Debian keeps
# them; gzip -n leaves out the name and date, so the result is reproducible.
function(r6140k_compressed target)
  set(compressed)
  foreach(file ${ARGN})
    add_custom_command(OUTPUT ${file}.gz
      COMMAND gzip -9nkf ${file}
      DEPENDS ${file}
      VERBATIM)
    list(APPEND compressed ${file}.gz)
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${compressed})
endfunction()

# The manual pages carry the project version; those of the programs built.
set(manual_pages)
set(programs r6140k-panel)
if(R6140K_LAN)
  list(APPEND programs r6140k-ctl r6140k-sim)
endif()
foreach(program ${programs})
  configure_file(${packaging_source}/${program}.1.in ${packaging_build}/${program}.1 @ONLY)
  list(APPEND manual_pages ${packaging_build}/${program}.1)
endforeach()
r6140k_compressed(manual_pages ${manual_pages})
configure_file(${packaging_source}/changelog.in ${packaging_build}/changelog @ONLY)
r6140k_compressed(changelog ${packaging_build}/changelog)

set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/r6140k-panel)
list(TRANSFORM manual_pages APPEND .gz)
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_build}/changelog.gz ${packaging_source}/copyright DESTINATION ${doc_dir})
install(FILES ${packaging_source}/r6140k-panel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_source}/r6140k-panel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging_source}/60-r6140k-ftdi.rules DESTINATION lib/udev/rules.d)

# cpack installs what is already built: building there would relink the
# programs that other tests run at the same time as package_build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE package_architecture
  OUTPUT_STRIP_TRAILING_WHITESPACE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME r6140k-panel)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for the R6140K I/Q upconverter")
# Lines of the extended description stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION "\
Adjusts by hand the analogue settings of an R6140K I/Q upconverter attached
through an FTDI USB-serial bridge: baseband and modulator offsets, modulator
attenuators, switches and user states, and keeps setups as files. Includes
r6140k-ctl, the same without windows for scripts, a Python driver for
pymeasure, r6140k-sim, a simulated instrument on a pseudo-terminal, and a
udev rule that lets the plugdev group use the instrument's bridge and sets
its latency timer to 1 ms.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${package_architecture})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${R6140K_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws the SVG window icon through the plugins in libqt6svg6, which the
# programs load at run time rather than link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
# VXI-11 clients find the panel through rpcbind, mDNS browsers through
# avahi-daemon; the panel runs without them and says what is missing. The
# Python driver among the examples runs on pymeasure and pyvisa-py.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "rpcbind, avahi-daemon, python3-pymeasure, python3-pyvisa-py")
# Stripping, file dates and the rest of what makes two builds of one commit
# give the same package are done on the staged files.
set(CPACK_PRE_BUILD_SCRIPTS ${packaging_source}/StagePackage.cmake)
set(CPACK_R6140K_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_R6140K_STRIP ${CMAKE_STRIP})
include(CPack)

if(NOT R6140K_TESTS)
  return()
endif()
set(package_file
  ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_${package_architecture}.deb)
add_test(NAME package_build COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
set_tests_properties(package_build PROPERTIES FIXTURES_SETUP debian_package TIMEOUT ${R6140K_TEST_TIMEOUT})
add_test(NAME package_contents
  COMMAND ${packaging_source}/check-package ${package_file} ${PROJECT_VERSION} ${CMAKE_SOURCE_DIR}
          $<$<BOOL:${R6140K_HARDENED}>:hardened>)
add_test(NAME package_lintian COMMAND ${packaging_source}/lint-package ${package_file})
set_tests_properties(package_contents package_lintian PROPERTIES
  FIXTURES_REQUIRED debian_package
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  TIMEOUT ${R6140K_TEST_TIMEOUT})
set_tests_properties(package_lintian PROPERTIES SKIP_RETURN_CODE 77)

# Every udev rule is scoped to the instrument's bridge; the check itself
# must turn down a rule that is not.
add_test(NAME udev_rules_scope COMMAND ${packaging_source}/check-udev-rules ${packaging_source}/60-r6140k-ftdi.rules)
add_test(NAME udev_rules_scope_refuses_unscoped_rule
  COMMAND sh -c "echo 'SUBSYSTEM==\"tty\", GROUP=\"plugdev\"' | \"$0\" /dev/stdin"
          ${packaging_source}/check-udev-rules)
set_tests_properties(udev_rules_scope udev_rules_scope_refuses_unscoped_rule PROPERTIES TIMEOUT ${R6140K_TEST_TIMEOUT})
set_tests_properties(udev_rules_scope_refuses_unscoped_rule PROPERTIES
  PASS_REGULAR_EXPRESSION "not scoped to the instrument: SUBSYSTEM==\"tty\", GROUP=\"plugdev\"")
