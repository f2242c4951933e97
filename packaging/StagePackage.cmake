# Run by cpack on the staged files before it packs them, so that the package
# is as Debian's tools would build it and two builds of one commit give the
# same package:
#  - the programs are stripped as dh_strip does, which also drops the
#    compiler's .comment and .note sections;
#  - every file and folder is dated SOURCE_DATE_EPOCH: taken from the
#    environment when set there, else the time of the source tree's last
#    commit. cpack dates the package's own members by it too.
set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY})

file(GLOB programs ${staged}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*)
foreach(program ${programs})
  execute_process(COMMAND ${CPACK_R6140K_STRIP} --remove-section=.comment --remove-section=.note ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CPACK_R6140K_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE last_commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE no_commit)
  if(no_commit)
    message(WARNING "Neither SOURCE_DATE_EPOCH nor a git history: the package's files keep their build dates")
    return()
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${last_commit})
endif()
execute_process(COMMAND find ${staged} -exec touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} {} +
  COMMAND_ERROR_IS_FATAL ANY)
