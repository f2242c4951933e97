# Debian's hardening flags, as dpkg-buildflags gives them to a package that
# asks for all of them: fortified functions, stack protector, full RELRO with
# immediate binding, PIE. The Debian package is built from these objects.
# Sanitized builds go without: the sanitizers bring their own checks of the
# functions that fortification would replace.
option(R6140K_HARDENING "Build with Debian's hardening flags from dpkg-buildflags" ON)

if(R6140K_HARDENING AND NOT (R6140K_SANITIZE OR R6140K_FUZZ))
  find_program(R6140K_DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT R6140K_DPKG_BUILDFLAGS)
    message(WARNING "dpkg-buildflags (package dpkg-dev) not found: building without Debian's hardening flags")
    return()
  endif()
  # Run in the source directory, so that its -ffile-prefix-map takes this
  # tree's path out of the binaries, whichever directory it was checked out to.
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${R6140K_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    if(kind STREQUAL LDFLAGS)
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
  endforeach()
  set(R6140K_HARDENED ON)
endif()
