# Instrumented builds, both off by default.
#  R6140K_SANITIZE: AddressSanitizer (with its leak checker) and
#    UndefinedBehaviorSanitizer over all code, to run the test suite under;
#    any report ends the process, so the test that caused it fails.
#  R6140K_FUZZ: the libFuzzer targets in fuzz/ (clang only). All code is built
#    with the same sanitizers and with the coverage the fuzzer steers by.
option(R6140K_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(R6140K_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)

if(R6140K_SANITIZE OR R6140K_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(R6140K_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "R6140K_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
